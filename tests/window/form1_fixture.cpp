#include "form1_fixture.h"

#include <QAbstractButton>
#include <QMetaObject>

namespace velarion::window::testing {

void Form1Fixture::click(std::string_view button) {
    auto* b = form->controlAs<QAbstractButton>(button);
    ASSERT_NE(b, nullptr);
    b->click();
}

void Form1Fixture::queueNext() {
    if (pending_.empty())
        return;
    QMetaObject::invokeMethod(
        form.get(),
        [this] {
            auto action = std::move(pending_.front());
            pending_.pop_front();
            action();
            queueNext();
        },
        Qt::QueuedConnection);
}

}  // namespace velarion::window::testing
