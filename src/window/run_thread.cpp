#include "run_thread.h"

#include "form1_layout.h"
#include "qt_window_ops.h"
#include "tone.h"

#include <QApplication>
#include <QMetaObject>

#include <thread>
#include <type_traits>

namespace velarion::window {

namespace {

// How often the window shows what the run did: a frame at 50 Hz.
constexpr int kFrameMs = 20;

std::string keyOf(std::string_view name) {
    return std::string(name);
}

}  // namespace

RunThread::RunThread(QtWindowOps& window) : window_(window) {
    frame_.setInterval(kFrameMs);
    QObject::connect(&frame_, &QTimer::timeout, &context_, [this] {
        showPending();
        serve();
    });
}

RunThread::~RunThread() = default;

void RunThread::run(const std::function<void()>& body) {
    // The start sequence clears StopFlag; cleared here, before the window
    // takes another event, a STOP or a close that follows the click counts
    // for this run, as it did when the run held the window's thread.
    window_.setStopFlag(false);
    takeSeen();
    finished_ = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            body();
        } catch (...) {
            failure = std::current_exception();
        }
        finished_ = true;
        // Wakes the loop below.
        QMetaObject::invokeMethod(
            &context_, [] {}, Qt::QueuedConnection);
    });
    frame_.start();
    // Not a nested QEventLoop: the application's quit() must not end this
    // loop while the run still needs the window's thread.
    while (!finished_) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    frame_.stop();
    worker.join();
    showPending();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void RunThread::showPending() {
    Shown shown;
    {
        const std::lock_guard lock(mutex_);
        std::swap(shown, pending_);
    }
    if (shown.isEmpty()) {
        return;
    }
    for (const auto& [control, enabled] : shown.enabled) {
        window_.setEnabled(control, enabled);
    }
    for (const auto& [box, text] : shown.texts) {
        window_.setText(box, text);
    }
    if (shown.progress) {
        window_.setProgressWidth(*shown.progress);
    }
    window_.flushCounters();
    if (shown.busy && *shown.busy != busy_) {
        busy_ = *shown.busy;
        window_.setBusyCursor(busy_);
    }
}

void RunThread::takeSeen() {
    for (const ControlSpec& spec : form1Controls()) {
        if (spec.kind == Kind::TextBox || spec.name == ctl::LStatus) {
            seenTexts_[keyOf(spec.name)] = window_.text(spec.name);
        } else if (spec.kind == Kind::CheckBox) {
            seenTicks_[keyOf(spec.name)] = window_.isTicked(spec.name);
        }
    }
}

void RunThread::request(const std::function<void()>& task) {
    std::unique_lock lock(mutex_);
    task_ = &task;
    done_ = false;
    lock.unlock();
    QMetaObject::invokeMethod(
        &context_, [this] { serve(); }, Qt::QueuedConnection);
    lock.lock();
    served_.wait(lock, [this] { return done_; });
    task_ = nullptr;
    if (taskFailure_) {
        std::rethrow_exception(std::exchange(taskFailure_, nullptr));
    }
}

template <class Task>
auto RunThread::call(Task task) {
    using Result = std::invoke_result_t<Task&>;
    if constexpr (std::is_void_v<Result>) {
        request(task);
    } else {
        std::optional<Result> result;
        request([&] { result.emplace(task()); });
        return std::move(*result);
    }
}

void RunThread::serve() {
    const std::function<void()>* task = nullptr;
    {
        const std::lock_guard lock(mutex_);
        if (task_ == nullptr || done_ || serving_) {
            return;
        }
        task = task_;
    }
    // A dialog the user opened keeps the run waiting until it is closed;
    // the frame timer asks again.
    if (QApplication::activeModalWidget() != nullptr) {
        return;
    }
    serving_ = true;
    showPending();
    std::exception_ptr failure;
    try {
        (*task)();
    } catch (...) {
        failure = std::current_exception();
    }
    takeSeen();
    serving_ = false;
    {
        const std::lock_guard lock(mutex_);
        taskFailure_ = failure;
        done_ = true;
    }
    served_.notify_one();
}

QString RunThread::text(std::string_view box) const {
    if (const auto seen = seenTexts_.find(box); seen != seenTexts_.end()) {
        return seen->second;
    }
    return ask([&] { return window_.text(box); });
}

void RunThread::setText(std::string_view box, const QString& text) {
    auto seen = seenTexts_.find(box);
    if (seen == seenTexts_.end()) {
        seen = seenTexts_.emplace(keyOf(box), QString()).first;
    }
    seen->second = text;
    const std::lock_guard lock(mutex_);
    pending_.texts.insert_or_assign(seen->first, text);
}

bool RunThread::isTicked(std::string_view checkBox) const {
    if (const auto seen = seenTicks_.find(checkBox); seen != seenTicks_.end()) {
        return seen->second;
    }
    return ask([&] { return window_.isTicked(checkBox); });
}

// The buttons change at the run's start and end only, and STOP is to be
// pressed at once: shown without waiting for the frame.
void RunThread::setEnabled(std::string_view control, bool enabled) {
    {
        const std::lock_guard lock(mutex_);
        pending_.enabled.insert_or_assign(keyOf(control), enabled);
    }
    QMetaObject::invokeMethod(
        &context_, [this] { showPending(); }, Qt::QueuedConnection);
}

void RunThread::setStatus(const QString& caption) {
    setText(ctl::LStatus, caption);
}

void RunThread::setProgressWidth(float twips) {
    const std::lock_guard lock(mutex_);
    pending_.progress = twips;
}

void RunThread::processEvents() {
    call([this] {
        if (pumped) {
            pumped();
        }
    });
}

MessageAnswer RunThread::messageBox(const MessageRequest& request) {
    return call([&] { return window_.messageBox(request); });
}

std::optional<QString> RunThread::inputBox(const QString& prompt, const QString& title) {
    return call([&] { return window_.inputBox(prompt, title); });
}

void RunThread::setBusyCursor(bool busy) {
    const std::lock_guard lock(mutex_);
    pending_.busy = busy;
}

// A real tone sounds on the run's thread, the window drawing meanwhile; a
// tone the window's owner takes in (a test) is given on the window's thread.
void RunThread::beep(int frequencyHz, int durationMs) {
    if (window_.hasToneHook()) {
        call([&] { window_.beep(frequencyHz, durationMs); });
    } else {
        Beep(frequencyHz, durationMs);
    }
}

std::int64_t RunThread::tickCountMs() const {
    return window_.tickCountMs();
}

bool RunThread::stopFlag() const {
    return window_.stopFlag();
}

// Cleared by run() already: a STOP since then stays.
void RunThread::setStopFlag(bool stop) {
    if (stop) {
        window_.setStopFlag(true);
    }
}

}  // namespace velarion::window
