#pragma once

#include <QColor>
#include <QRect>
#include <QString>

// One chat message in the message list: a text or an attachment picture in a bubble, the time
// and, for operators, a badge. A plain value that the list paints: writing Testo or
// ImmagineAttach lays the bubble out once, and every rectangle below is twips inside the bubble.
class CtrMsg {
public:
    CtrMsg();

    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor &color);
    // The text's colour.
    QColor ForeColor() const { return m_foreColor; }
    void setForeColor(const QColor &color);
    QString Data() const { return m_data; }
    void setData(const QString &time);
    QString Testo() const { return m_testo; }
    // isLink: whether the whole text is a web address (decided before, by whoever has a network).
    void setTesto(const QString &text, bool isLink = false);
    qint32 IdOperatore() const { return m_idOperatore; }
    void setIdOperatore(qint32 id);
    // A file name inside the TempImg folder of the application folder.
    void setImmagineAttach(const QString &fileName);

    int widthTwips() const { return m_widthTwips; }
    void setWidthTwips(int width) { m_widthTwips = width; }
    int heightTwips() const { return m_heightTwips; }

    QRect shapeRect() const { return m_shapeRect; }
    bool isRounded() const { return m_rounded; }
    bool showsText() const { return m_showsText; }
    QRect textRect() const { return m_textRect; }
    bool isLink() const { return m_isLink; }
    // Empty when the file gave no picture.
    bool showsPicture() const { return m_showsPicture; }
    QString picturePath() const { return m_picturePath; }
    QRect pictureRect() const { return m_pictureRect; }
    bool showsBadge() const { return m_showsBadge; }
    static QRect badgeRect();
    bool showsTime() const { return m_showsTime; }
    QRect timeRect() const;

private:
    QString m_testo;
    QString m_data;
    QString m_picturePath;
    qint32 m_idOperatore = 0;
    QColor m_backColor = Qt::white;
    QColor m_foreColor = Qt::black;
    QRect m_shapeRect;
    QRect m_textRect;
    QRect m_pictureRect;
    int m_widthTwips;
    int m_heightTwips;
    bool m_rounded = true;
    bool m_showsText = true;
    bool m_isLink = false;
    bool m_showsPicture = false;
    bool m_showsBadge = false;
    bool m_showsTime = true;
};
