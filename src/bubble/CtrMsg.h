#pragma once

#include <QImage>
#include <QSize>
#include <QVariantMap>
#include <QWidget>

class BubbleShape;
class QFrame;
class QLabel;
class QPlainTextEdit;

// One chat message in the message list: a text or an attachment picture in a bubble, the time
// and, for operators, a badge. Positions and sizes inside are twips; the bubble sets its own
// height from its content and the list reads it back with heightTwips().
class CtrMsg : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor NOTIFY backColorChanged)
    Q_PROPERTY(quint32 ForeColor READ ForeColor WRITE setForeColor NOTIFY foreColorChanged)
    Q_PROPERTY(QString Data READ Data WRITE setData NOTIFY dataChanged)
    Q_PROPERTY(QString Testo READ Testo WRITE setTesto NOTIFY testoChanged)
    Q_PROPERTY(qint32 IdOperatore READ IdOperatore WRITE setIdOperatore NOTIFY idOperatoreChanged)

public:
    explicit CtrMsg(QWidget *parent = nullptr);

    // Colours are 0x00BBGGRR.
    quint32 BackColor() const;
    void setBackColor(quint32 color);
    quint32 ForeColor() const;
    void setForeColor(quint32 color);
    QString Data() const;
    void setData(const QString &time);
    // Reads back the text with every "<br>" already a line break.
    QString Testo() const;
    void setTesto(const QString &text);
    void setIsLink(bool isLink);
    qint32 IdOperatore() const { return m_idOperatore; }
    void setIdOperatore(qint32 id);
    // Write-only, which a Qt property cannot be: a file name inside the TempImg folder of the
    // application folder.
    Q_INVOKABLE void setImmagineAttach(const QString &fileName);

    int heightTwips() const { return m_heightTwips; }
    void setWidthTwips(int width);

    // The property bag of the hosting form; values equal to their default are left out.
    QVariantMap writeProperties() const;
    void readProperties(const QVariantMap &bag);

signals:
    void backColorChanged();
    void foreColorChanged();
    void dataChanged();
    void testoChanged();
    void idOperatoreChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setHeightTwips(int height);
    void UserControl_Resize();
    void setLabelTextColor(quint32 color);
    void showWithoutPicture();
    int naturalTextWidth(const QString &text) const;
    void TextMsg_Click();
    void Image1_Click();

    QFrame *m_frameMsg;
    BubbleShape *m_shapeMsg;
    QLabel *m_labelTesto;
    QLabel *m_labelDataOra;
    QLabel *m_imageKD;
    QLabel *m_image1;
    QPlainTextEdit *m_textMsg;

    qint32 m_idOperatore = 0;
    bool m_isLink = false;
    QImage m_picture;
    QSize m_thumbnailTwips;
    int m_widthTwips = 0;
    int m_heightTwips = 0;
};
