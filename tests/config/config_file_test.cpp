#include "config/config_file.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velarion {
namespace {

bool readBytes(const QByteArray& bytes, ConfigTexts& texts, QString& reason) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return readConfig(buffer, texts, reason);
}

ConfigTexts numbered(const QString& prefix = QStringLiteral("v")) {
    ConfigTexts texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = prefix + QString::number(i + 1);
    }
    return texts;
}

QByteArray joined(int lines, const char* end) {
    QByteArray bytes;
    for (int i = 1; i <= lines; ++i) {
        bytes += "v" + QByteArray::number(i) + end;
    }
    return bytes;
}

TEST(ConfigRead, LineEndsOfEveryKindGiveTheSameTexts) {
    for (const char* end : {"\r\n", "\n", "\r", "\r\r\n"}) {
        ConfigTexts texts;
        QString reason;
        ASSERT_TRUE(readBytes(joined(11, end), texts, reason)) << reason.toStdString();
        EXPECT_EQ(texts, numbered()) << "line end " << QByteArray(end).toHex().constData();
    }
    // The last line may lack its line end, or carry a lone CR.
    for (const QByteArray& tail : {QByteArray("v11"), QByteArray("v11\r")}) {
        ConfigTexts texts;
        QString reason;
        ASSERT_TRUE(readBytes(joined(10, "\r\n") + tail, texts, reason));
        EXPECT_EQ(texts, numbered());
    }
}

// As other editors write them: a UTF-8 byte order mark is no part of the
// first text, and each lone CR ends a line of its own, empty or not.
TEST(ConfigRead, AByteOrderMarkIsDroppedAndLoneCrsKeepEmptyLines) {
    ConfigTexts texts;
    QString reason;
    ASSERT_TRUE(
        readBytes("\xEF\xBB\xBF"
                  "a\r\rc\r" +
                      joined(8, "\r"),
                  texts, reason))
        << reason.toStdString();
    EXPECT_EQ(texts[0], "a");
    EXPECT_EQ(texts[1], "");
    EXPECT_EQ(texts[2], "c");
    EXPECT_EQ(texts[10], "v8");
}

TEST(ConfigRead, ALineLongerThanABoxHoldsIsRefused) {
    const QByteArray longest(kMaxBoxTextLength, 'x');
    const QByteArray head = joined(2, "\r\n");
    const QByteArray tail = "\r\n" + joined(8, "\r\n");
    ConfigTexts texts;
    QString reason;
    ASSERT_TRUE(readBytes(head + longest + tail, texts, reason)) << reason.toStdString();
    EXPECT_EQ(texts[2].size(), kMaxBoxTextLength);

    texts = numbered("old");
    EXPECT_FALSE(readBytes(head + longest + "x" + tail, texts, reason));
    EXPECT_EQ(reason,
              "Line 3 is longer than the 32767 characters that the box TRho (\"Rho  (kg/m3)\") "
              "can hold.");
    EXPECT_EQ(texts, numbered("old"));
}

TEST(ConfigRead, TextsAreTakenAsTheyStandInLatin1) {
    ConfigTexts texts;
    QString reason;
    const QByteArray bytes = " 5,5 \r\n\r\n0,0 2\r\n\xE9\xFF\r\n" + joined(7, "\r\n");
    ASSERT_TRUE(readBytes(bytes, texts, reason));
    EXPECT_EQ(texts[0], " 5,5 ");
    EXPECT_EQ(texts[1], "");
    EXPECT_EQ(texts[2], "0,0 2");
    EXPECT_EQ(texts[3], QString::fromUtf8("\xC3\xA9\xC3\xBF"));  // é ÿ
    EXPECT_EQ(texts[10], "v7");
}

TEST(ConfigEncode, ElevenLinesEachWithCrLfInLatin1) {
    ConfigTexts texts = numbered();
    texts[0] = QString::fromUtf8("caf\xC3\xA9");
    texts[1] = "";
    texts[2] = " a b ";
    QByteArray bytes;
    QString reason;
    ASSERT_TRUE(encodeConfig(texts, bytes, reason));
    EXPECT_EQ(bytes, "caf\xE9\r\n\r\n a b \r\n" + joined(11, "\r\n").mid(12));
}

TEST(ConfigEncode, TextsALineCannotHoldAreRefusedByBox) {
    const struct {
        std::size_t line;
        QString text;
        const char* reason;
    } cases[] = {
        {4, QString::fromUtf8("5\xE2\x82\xAC"),
         "The box TV0 (\"V0 m/s\") holds the character \"\xE2\x82\xAC\" (U+20AC), which a "
         "configuration file cannot hold: it stores Latin-1 text only."},
        {0, QString::fromUtf8("\xF0\x9F\x98\x80"),
         "The box TINDICE_MATRICE1 (\"psi( first index\") holds the character "
         "\"\xF0\x9F\x98\x80\" (U+1F600), which a configuration file cannot hold: it stores "
         "Latin-1 text only."},
        {10, "3\n0",
         "The box Tnitertemp (\"nitertemp\") holds a line break, which a line of a "
         "configuration file cannot hold."},
        {9, "0\r", nullptr},
        {2, QString(kMaxBoxTextLength + 1, u'7'),
         "The box TRho (\"Rho  (kg/m3)\") holds 32768 characters, more than the 32767 that a "
         "box can hold."},
        // These would read back as a byte order mark and be dropped.
        {0,
         QString::fromLatin1("\xEF\xBB\xBF"
                             "30"),
         "The box TINDICE_MATRICE1 (\"psi( first index\") begins with "
         "\"\xC3\xAF\xC2\xBB\xC2\xBF\", "
         "which a configuration file cannot hold at its start: it reads as a byte order mark."},
    };
    for (const auto& c : cases) {
        ConfigTexts texts = numbered();
        texts[c.line] = c.text;
        QByteArray bytes = "untouched";
        QString reason;
        EXPECT_FALSE(encodeConfig(texts, bytes, reason));
        if (c.reason) {
            EXPECT_EQ(reason, QString::fromUtf8(c.reason));
        } else {
            EXPECT_TRUE(reason.startsWith("The box TP ")) << reason.toStdString();
        }
        EXPECT_EQ(bytes, "untouched");
    }
}

TEST(ConfigList, OnlyCnfFilesSortedWithoutRegardToCase) {
    QTemporaryDir dir;
    for (const char* name : {"b.cnf", "A.cnf", "c.CNF", "params", "x.cnf.bak", ".hidden.cnf"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.cnf"));
    EXPECT_EQ(configFileNames(QDir(dir.path())), (QStringList{"A.cnf", "b.cnf", "c.CNF"}));
}

}  // namespace
}  // namespace velarion
