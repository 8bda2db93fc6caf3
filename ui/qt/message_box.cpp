// The one message box of the component.
#include "ui/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>
#include <string>

#include "ui/app.h"
#include "ui/errors.h"
#include "ui/qt/internal.h"

namespace dg::ui {
namespace {

QMessageBox::Icon ToQIcon(Icon icon) {
    switch (icon) {
        case Icon::Critical: return QMessageBox::Critical;
        case Icon::Exclamation: return QMessageBox::Warning;
        case Icon::Question: return QMessageBox::Question;
        case Icon::Information: return QMessageBox::Information;
        case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

Answer FirstButton(Buttons buttons) { return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok; }

}  // namespace

Answer MsgBox(std::string_view text, Buttons buttons, Icon icon, std::optional<std::string_view> title) {
    // The owner is our form that is active; with none of ours active the box
    // stands alone, application-modal, never owned by some other open form.
    qt::FormDialog* owner = nullptr;
    if (qt::CanShowHere() && QCoreApplication::instance()) {
        owner = dynamic_cast<qt::FormDialog*>(QApplication::activeWindow());
        if (owner && (!owner->form || !owner->isVisible())) owner = nullptr;
    }
    const detail::MessageRequest request{std::string(text), std::string(title ? *title : kDefaultTitle), buttons, icon,
                                         owner ? owner->form->owner->ObjectName() : std::string()};
    const detail::MessageHooks& hooks = detail::InstalledMessageHooks();
    auto record = [&](Answer answer) {
        if (hooks.record) hooks.record(request, answer);
        return answer;
    };
    if (hooks.answer) {
        if (std::optional<Answer> queued = hooks.answer(request)) return record(*queued);
    }
    // Nobody can see a window, or this thread may not show one (a worker
    // thread reporting a failure): the text goes to standard error and the
    // first button is the answer. Never a throw: failures are reported this way.
    auto toStandardError = [&] {
        std::fprintf(stderr, "%s: %s\n", request.title.c_str(), request.text.c_str());
        std::fflush(stderr);
        return record(FirstButton(buttons));
    };
    if (!qt::CanShowHere()) return toStandardError();
    try {
        EnsureGui();
    } catch (const UiError&) {
        return toStandardError();
    }

    // On the heap: an owner deleted while the box is open takes the box with it.
    QPointer<QMessageBox> box = new QMessageBox(
        ToQIcon(icon), qt::ToQ(request.title), qt::ToQ(request.text),
        buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
    box->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box->setObjectName(QStringLiteral("dutygateMessageBox"));
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok);
    // Its buttons draw as the dialogs' controls do, so that a box shown at
    // every wrong password leaves nothing in the style's cache either.
    for (QAbstractButton* button : box->buttons()) button->setStyle(qt::DialogControlStyle());
    box->exec();
    Answer answer = FirstButton(buttons);
    if (QAbstractButton* clicked = box ? box->clickedButton() : nullptr) {
        switch (box->standardButton(clicked)) {
            case QMessageBox::Yes: answer = Answer::Yes; break;
            case QMessageBox::No: answer = Answer::No; break;
            case QMessageBox::Ok: answer = Answer::Ok; break;
            default: break;
        }
    }
    delete box.data();
    return record(answer);
}

}  // namespace dg::ui
