#include "messagelist/MessageModel.h"

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
        return spokenContent(shown);
    case Qt::AccessibleTextRole:
        return senderAndTime(shown) + QStringLiteral(": ") + spokenContent(shown);
    default:
        return {};
    }
}

QString MessageModel::senderAndTime(const ChatMessage &message) {
    return (message.idOperatore != 0 ? kOperator : kCustomer) + QStringLiteral(", ") + message.time;
}

QString MessageModel::spokenContent(const ChatMessage &message) {
    return message.isPicture ? kPicture.arg(message.text) : message.text;
}
