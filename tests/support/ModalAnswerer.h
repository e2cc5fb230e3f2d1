#pragma once
// Answers modal boxes for GUI tests. While it lives it polls for the active
// modal window and acts on it: presses a button by objectName, sends Enter or
// Esc, or closes the window with its close box. Answers are used in order,
// one per action; a box that stays open after an action (Esc on a box
// without a cancel button) receives the next answer. Every box it meets is
// recorded with its text (the message box's MsgLabel, else the window
// title), its window name and its buttons.
//
// A box met after the planned answers are used up gets the "rest" answer
// when one is set (AnswerRestWith); otherwise it is closed and counted in
// Unexpected(), so a test fails instead of hanging.
//
//   ModalAnswerer answerer({ModalAnswerer::Press("btnYes")});
//   EXPECT_EQ(MyMessageDlg(text, mtConfirmation, mbYes | mbNo), mrYes);
//   EXPECT_EQ(answerer.Texts(), QStringList{...});

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    struct Answer {
        enum class How { Press, Enter, Escape, Close, Key, Do };
        How how;
        QString button; // objectName, for Press; the character, for Key
        std::function<void(QWidget*)> action; // for Do
    };
    static Answer Press(const QString& objectName) { return {Answer::How::Press, objectName, {}}; }
    static Answer Enter() { return {Answer::How::Enter, {}, {}}; }
    static Answer Escape() { return {Answer::How::Escape, {}, {}}; }
    static Answer Close() { return {Answer::How::Close, {}, {}}; }
    // A character typed into the box (to its focus widget).
    static Answer Key(char c) { return {Answer::How::Key, QString(QLatin1Char(c)), {}}; }
    // Anything else: action gets the box (fill its fields, pick a file,
    // then press a button). When the box is still open afterwards, the next
    // answer goes to it.
    static Answer Do(std::function<void(QWidget*)> action)
    {
        return {Answer::How::Do, {}, std::move(action)};
    }

    // One box as it was when first met.
    struct Box {
        QString window;      // objectName of the box ("MyMessageForm", ...)
        QString title;       // window title
        QString text;        // MsgLabel's text, or the title when it has none
        QStringList buttons; // objectNames of its push buttons, in creation order
        QStringList captions; // their texts, same order
        QRect geometry;
    };

    explicit ModalAnswerer(std::initializer_list<Answer> answers = {});
    ~ModalAnswerer() override;

    void Add(const Answer& answer) { answers_.push_back(answer); }
    void AnswerRestWith(const Answer& answer) { rest_ = answer; }
    // Leaves window alone: a dialog a test drives by hand while boxes open
    // over it (another answerer's Do action) is neither recorded nor answered.
    void Ignore(QWidget* window) { ignored_ = window; }

    const std::vector<Box>& Boxes() const { return boxes_; }
    QStringList Texts() const;
    int Unexpected() const { return unexpected_; }
    // Answers that could not be carried out (a button that was not there);
    // the box was closed instead.
    const QStringList& Failures() const { return failures_; }

    // Processes events until count boxes have been met or timeoutMs passed.
    bool WaitForBoxes(int count, int timeoutMs = 10000);

private:
    void Poll();
    void Act(QWidget* box, const Answer& answer);

    QTimer timer_;
    std::deque<Answer> answers_;
    std::optional<Answer> rest_;
    QPointer<QWidget> current_;
    QPointer<QWidget> ignored_;
    std::vector<Box> boxes_;
    QStringList failures_;
    int unexpected_ = 0;
};
