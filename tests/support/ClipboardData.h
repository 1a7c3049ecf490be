#pragma once

#include <QHash>
#include <QMimeData>

// What the desktop's clipboard offers: picture types with bytes for each (empty: offered, then
// nothing), and beside them Qt's own image type, as Qt names a clipboard that holds pictures.
// Qt's conversion to an image object is left out: here it yields nothing.
class ClipboardData : public QMimeData {
public:
    explicit ClipboardData(QHash<QString, QByteArray> bytes)
        : m_bytes(std::move(bytes)) {}
    QStringList formats() const override {
        return m_bytes.keys() << QStringLiteral("application/x-qt-image");
    }

protected:
    QVariant retrieveData(const QString &format, QMetaType) const override {
        return m_bytes.contains(format) ? QVariant(m_bytes.value(format)) : QVariant();
    }

private:
    QHash<QString, QByteArray> m_bytes;
};
