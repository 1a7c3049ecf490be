#pragma once

#include <httplib.h>

#include <QtGlobal>

class ChatStore;
class PictureFolder;

// JSON over HTTP for the operator console: tickets, conversations with the customer's typing
// state, and the operator's texts, pictures and commands. Who may call it is AccessRules' job.
//
//   GET  /api/tickets                            {"tickets":[{"id","vat","open"}]}
//   POST /api/tickets {"vat"}                    opens (or finds) the VAT number's ticket
//   POST /api/tickets/{id}/close
//   GET  /api/tickets/{id}/messages[?after=N]    {"ticket","typing","messages":[...],"unread"}
//                                                messages after N; unread: ids up to N not read
//   POST /api/tickets/{id}/messages {"testo"}    a text from the operator
//   POST /api/tickets/{id}/pictures?name=F       the picture's bytes as the body
class OperatorApi {
public:
    static constexpr qint32 kOperatorId = 7;

    OperatorApi(ChatStore &store, const PictureFolder &pictures)
        : m_store(store)
        , m_pictures(pictures) {}

    void addRoutes(httplib::Server &server);
    // {"error": text}, as every refusal of the API.
    static void replyError(httplib::Response &response, int status, const char *error);

private:
    void listTickets(httplib::Response &response);
    void openTicket(const httplib::Request &request, httplib::Response &response);
    void closeTicket(const httplib::Request &request, httplib::Response &response);
    void conversation(const httplib::Request &request, httplib::Response &response);
    void sendText(const httplib::Request &request, httplib::Response &response);
    void sendPicture(const httplib::Request &request, httplib::Response &response);

    ChatStore &m_store;
    const PictureFolder &m_pictures;
};
