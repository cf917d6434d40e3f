#include "form1_fixture.h"

#include <QAbstractButton>

namespace velarion::window::testing {

void Form1Fixture::click(std::string_view button) {
    auto* b = form->controlAs<QAbstractButton>(button);
    ASSERT_NE(b, nullptr);
    b->click();
}

void Form1Fixture::actAtPump() {
    if (pending_.empty())
        return;
    auto action = std::move(pending_.front());
    pending_.pop_front();
    action();
}

}  // namespace velarion::window::testing
