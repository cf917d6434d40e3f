// Every caption must be readable in its rectangle with the fonts this
// machine has: a text cut short would hide a parameter's meaning.
#include "window/caption_fit.h"
#include "window/form1.h"
#include "window/form1_layout.h"

#include <QFontInfo>

#include <gtest/gtest.h>

namespace velarion::window {
namespace {

TEST(Form1Layout, EveryCaptionFitsItsRectangle) {
    Form1 form;
    QStringList cut;
    int captions = 0;
    for (const ControlSpec& spec : form1Controls()) {
        QWidget* w = form.control(spec.name);
        ASSERT_NE(w, nullptr) << spec.name;
        if (captionOf(w).isEmpty())
            continue;
        ++captions;
        if (captionNeeds(w) > captionRoom(w)) {
            cut << QStringLiteral("%1 \"%2\" needs %3 px, has %4 (%5)")
                       .arg(w->objectName(), captionOf(w))
                       .arg(captionNeeds(w))
                       .arg(captionRoom(w))
                       .arg(QFontInfo(w->font()).family());
        }
    }
    EXPECT_GT(captions, 25);
    EXPECT_TRUE(cut.isEmpty()) << cut.join('\n').toStdString();
}

}  // namespace
}  // namespace velarion::window
