#include "messagebox.h"

#include "qtext.h"

#include "text/codepage.h"
#include "threads/uithread.h"

#include <QMessageBox>

#include <mutex>

namespace toolkit {
namespace {

const text::Text kApplicationTitle{u8"Tarnwick"};

std::mutex handlerMutex;
std::function<void(const MessageBoxCall&)> testHandler; // guarded by handlerMutex

void showOnThisThread(const MessageBoxCall& call) {
    std::function<void(const MessageBoxCall&)> handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = testHandler;
    }
    if (handler) {
        handler(call);
        return;
    }
    QMessageBox::Icon icon = call.kind == MessageBoxKind::System  ? QMessageBox::Information
                             : call.kind == MessageBoxKind::Error ? QMessageBox::Critical
                                                                  : QMessageBox::NoIcon;
    QString text = call.hostText.empty() ? toQString(call.text) : QString::fromUtf8(call.hostText);
    QMessageBox box(icon, toQString(call.caption), text, QMessageBox::Ok);
    box.exec();
}

void show(const MessageBoxCall& call) {
    threads::runOnUiThread([&call] { showOnThisThread(call); });
}

} // namespace

void showMessage(const std::string& text) {
    show({MessageBoxKind::Simple, kApplicationTitle.str(), text});
}

void showErrorMessage(const std::string& text) {
    show({MessageBoxKind::Error, kApplicationTitle.str(), text});
}

void showException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        showErrorMessage(e.what());
    } catch (...) {
        showErrorMessage(std::string());
    }
}

void showSystemMessage(const std::string& caption, const std::string& text) {
    show({MessageBoxKind::System, caption, text});
}

void showSystemMessage(const std::string& caption, const std::string& text,
                       const std::string& hostText) {
    show({MessageBoxKind::System, caption, text, hostText});
}

void setMessageBoxHandler(std::function<void(const MessageBoxCall&)> handler) {
    std::lock_guard lock(handlerMutex);
    testHandler = std::move(handler);
}

} // namespace toolkit
