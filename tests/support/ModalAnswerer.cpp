#include "support/ModalAnswerer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

ModalAnswerer::ModalAnswerer(std::initializer_list<Answer> answers) : answers_(answers)
{
    timer_.setInterval(15);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Poll);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer()
{
    timer_.stop();
}

QStringList ModalAnswerer::Texts() const
{
    QStringList texts;
    for (const Box& box : boxes_)
        texts << box.text;
    return texts;
}

bool ModalAnswerer::WaitForBoxes(int count, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (static_cast<int>(boxes_.size()) < count && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return static_cast<int>(boxes_.size()) >= count;
}

void ModalAnswerer::Poll()
{
    QWidget* box = QApplication::activeModalWidget();
    if (!box || !box->isVisible() || box == ignored_)
        return;
    if (box != current_) {
        current_ = box;
        Box seen;
        seen.window = box->objectName();
        seen.title = box->windowTitle();
        const auto* label = box->findChild<QLabel*>(QStringLiteral("MsgLabel"));
        seen.text = label ? label->text() : seen.title;
        for (const QPushButton* button : box->findChildren<QPushButton*>()) {
            seen.buttons << button->objectName();
            seen.captions << button->text();
        }
        seen.geometry = box->geometry();
        boxes_.push_back(seen);
    }
    if (!answers_.empty()) {
        const Answer answer = answers_.front();
        answers_.pop_front();
        Act(box, answer);
    } else if (rest_) {
        Act(box, *rest_);
    } else {
        ++unexpected_;
        box->close();
    }
}

void ModalAnswerer::Act(QWidget* box, const Answer& answer)
{
    switch (answer.how) {
    case Answer::How::Press: {
        auto* button = box->findChild<QPushButton*>(answer.button);
        if (button && button->isVisible() && button->isEnabled()) {
            button->click();
        } else {
            failures_ << QStringLiteral("no button %1 in %2").arg(answer.button, box->objectName());
            box->close();
        }
        break;
    }
    case Answer::How::Enter:
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
        break;
    case Answer::How::Escape:
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Escape);
        break;
    case Answer::How::Close:
        box->close();
        break;
    case Answer::How::Do:
        answer.action(box);
        break;
    case Answer::How::Key:
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box,
                        answer.button.at(0).toLatin1());
        break;
    }
}
