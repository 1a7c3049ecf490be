#pragma once

// The chat service's wire names, shared by the client, the local service and the benchmarks so
// that they cannot drift apart. The tests keep their own copies as independent checks.
namespace ServiceProtocol {

// SOAP endpoints are <kEndpointFolder><endpoint><kEndpointSuffix>.
inline constexpr char kEndpointFolder[] = "/RovizeveReravav/sync_connector/";
inline constexpr char kEndpointSuffix[] = ".php";
// getticket and setreadchat.
inline constexpr char kEndpointDue[] = "ws_chat_due";
// getchat and setchat.
inline constexpr char kEndpointTre[] = "ws_chat_tre";
// The file name follows in the query parameter named here.
inline constexpr char kUploadPath[] = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php";
inline constexpr char kUploadNameParameter[] = "filename";
inline constexpr char kDownloadPath[] = "/RovizeveReravav/KD_API/Ticket/downloadimg.php";
inline constexpr char kDownloadNameParameter[] = "nomefile";

inline constexpr char kStatusOk[] = "OK";
inline constexpr char kStatusNoTicket[] = "noticket";

// The pictures' folder inside the application folder.
inline constexpr char kPictureFolder[] = "TempImg";

} // namespace ServiceProtocol
