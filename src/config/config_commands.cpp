#include "config_commands.h"

#include "model/parameter_boxes.h"

namespace velarion {

namespace {

constexpr int kSaveToneHz = 690;
constexpr int kLoadToneHz = 790;
constexpr int kToneMs = 50;
constexpr float kResetBarWidth = 50.0F;

void showFailure(WindowOps& ops, const QString& text, const QString& reason) {
    ops.messageBox(
        {text, QStringLiteral("ERROR"), MessageIcon::Critical, MessageButtons::Ok, reason});
}

}  // namespace

ConfigTexts boxTexts(const WindowOps& ops) {
    ConfigTexts texts;
    const auto boxes = parameterBoxes();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = ops.text(boxes[i].name);
    }
    return texts;
}

void setBoxTexts(WindowOps& ops, const ConfigTexts& texts) {
    const auto boxes = parameterBoxes();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ops.setText(boxes[i].name, texts[i]);
    }
}

bool LoadConfig(WindowOps& ops, const QString& File) {
    ConfigTexts texts;
    QString reason;
    if (!readConfigFile(File, texts, reason)) {
        showFailure(ops,
                    QStringLiteral("The configuration file \"%1\" could not be loaded.").arg(File),
                    reason);
        return false;
    }
    setBoxTexts(ops, texts);
    return true;
}

bool SaveConfig(WindowOps& ops, const QString& name) {
    QByteArray bytes;
    QString reason;
    if (!encodeConfig(boxTexts(ops), bytes, reason) || !writeConfigFile(name, bytes, reason)) {
        showFailure(ops,
                    QStringLiteral("The configuration file \"%1\" could not be saved.").arg(name),
                    reason);
        return false;
    }
    return true;
}

void CSaveConfig(WindowOps& ops, const std::function<void()>& refreshFile1) {
    const std::optional<QString> answer = ops.inputBox(
        QStringLiteral("Enter file name (Ex:default.cnf):"), QStringLiteral("Input file name"));
    if (!answer || answer->trimmed().isEmpty()) {
        return;
    }
    if (!SaveConfig(ops, *answer)) {
        return;
    }
    if (refreshFile1) {
        refreshFile1();
    }
    ops.beep(kSaveToneHz, kToneMs);
}

void Command5(WindowOps& ops, const QString& selected) {
    const QString name = selected.trimmed();
    if (name.isEmpty()) {
        ops.messageBox({QStringLiteral("Select file"), QStringLiteral("ERROR"),
                        MessageIcon::Critical, MessageButtons::Ok, QString()});
        return;
    }
    if (!LoadConfig(ops, name)) {
        return;
    }
    ops.beep(kLoadToneHz, kToneMs);
    ops.setStatus(QStringLiteral("File : ") + selected + QStringLiteral("...loaded!"));
    ops.setProgressWidth(kResetBarWidth);
}

}  // namespace velarion
