#include "messagelist/MessageModel.h"

#include "bubble/LinkTarget.h"

namespace {
const QString kOperator = QStringLiteral("Operatore");
const QString kCustomer = QStringLiteral("Cliente");
const QString kPicture = QStringLiteral("immagine %1");
} // namespace

MessageModel::MessageModel(QObject *parent)
    : QAbstractListModel(parent) {}

void MessageModel::append(const ChatMessage &message) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_messages.push_back(message);
    endInsertRows();
}

int MessageModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_messages.size());
}

QVariant MessageModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ChatMessage &shown = message(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case TextRole:
        return shown.isPicture ? QString() : shown.text;
    case SenderRole:
        return QVariant::fromValue(shown.idOperatore != 0 ? Sender::Operator : Sender::Customer);
    case TimeRole:
        return shown.time;
    case PictureRole:
        return shown.isPicture ? shown.text : QString();
    case LinkRole:
        return shown.isLink && !shown.isPicture ? LinkTarget(shown.text) : QUrl();
    case Qt::AccessibleTextRole:
        return senderAndTime(shown) + QStringLiteral(": ") + spokenContent(shown);
    default:
        return {};
    }
}

QHash<int, QByteArray> MessageModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert({{TextRole, "text"},
                  {SenderRole, "sender"},
                  {TimeRole, "time"},
                  {PictureRole, "picture"},
                  {LinkRole, "link"}});
    return names;
}

QString MessageModel::senderAndTime(const ChatMessage &message) {
    return (message.idOperatore != 0 ? kOperator : kCustomer) + QStringLiteral(", ") + message.time;
}

QString MessageModel::spokenContent(const ChatMessage &message) {
    return message.isPicture ? kPicture.arg(message.text) : message.text;
}
