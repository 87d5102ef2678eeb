#ifndef JOURNALINDICATOR_H
#define JOURNALINDICATOR_H

#include <QLabel>

// The journal's state in the status bar, there for as long as it holds:
// the file's name while the journal records, "Journal stopped: <reason>" in
// dark red once it failed, "Journal off" when config.ini switched it off.
// The tool tip gives the full path (and the reason). Hidden until there is
// something to say. A text wider than the room it gets is shortened in the
// middle; the tool tip keeps it whole.
class JournalIndicator : public QLabel
{
    Q_OBJECT
public:
    explicit JournalIndicator(QWidget *parent = nullptr);

    void showRecording(const QString &path);
    void showStopped(const QString &reason, const QString &path);
    void showOff();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showState(const QString &text, const QString &toolTip, bool alarming);
    void fitText();

    QString m_fullText;
};

#endif // JOURNALINDICATOR_H
