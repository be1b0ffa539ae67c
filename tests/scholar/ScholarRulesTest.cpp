#include "scholar/ScholarRules.h"

#include "ScholarTestSupport.h"
#include "engine/PdfDocument.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace folvan;
using namespace folvan::scholar;

TEST(ScholarRulesTest, TypedAddressIsTrimmedAndGetsHttpsOnlyWithoutAScheme)
{
    const auto typed = [](const QString &text) { return typedAddress(text).value().toString(QUrl::FullyEncoded); };
    EXPECT_EQ(typed(QStringLiteral("  example.org/a?b=1 \n")), QStringLiteral("https://example.org/a?b=1"));
    EXPECT_EQ(typed(QStringLiteral("http://example.org")), QStringLiteral("http://example.org"));
    // A scheme in capitals is a scheme: no second one in front.
    EXPECT_EQ(typedAddress(QStringLiteral("HTTPS://Example.org/x")).value().host(), QStringLiteral("example.org"));
    EXPECT_EQ(typedAddress(QStringLiteral("HTTPS://Example.org/x")).value().scheme(), QStringLiteral("https"));
    EXPECT_EQ(typed(QStringLiteral("\u3000论文.org\t")).left(8), QStringLiteral("https://"));
    // An empty field asks for "https://" alone; text with a blank inside its
    // host makes no address.
    EXPECT_EQ(typedAddress(QString()).value().scheme(), QStringLiteral("https"));
    EXPECT_FALSE(typedAddress(QStringLiteral("two words")));
}

TEST(ScholarRulesTest, FetchScriptQuotesTheAddressAndActionAsStringLiterals)
{
    EXPECT_EQ(javaScriptString(QStringLiteral("a\"b\\c\n\u2028")), QStringLiteral("\"a\\\"b\\\\c\\n\\u2028\""));
    // An address cannot end the string it stands in.
    const QUrl address(QStringLiteral("https://example.org/x\");alert(1);(\".pdf"));
    const QString script = fetchScript(address, kReplaceAction, QStringLiteral("\"%1"));
    EXPECT_TRUE(script.contains(QStringLiteral("var address = \"https://example.org/x%22);alert(1);(%22.pdf\", "
                                               "action = \"replace\", id = \"\\\"%1\", maxBytes = 104857600,")))
        << script.toStdString();
    EXPECT_TRUE(script.contains(QStringLiteral("xhr.open(\"GET\", address, true)")));
}

TEST(ScholarRulesTest, ScriptMessagesNeedBothKeysAndOnlyStrings)
{
    const QJsonObject good{{QStringLiteral("base64"), QStringLiteral("QQ==")},
                           {QStringLiteral("action"), QStringLiteral("download")}};
    const std::optional<ScriptMessage> message = scriptMessage(good);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->base64, QStringLiteral("QQ=="));
    EXPECT_EQ(message->action, QStringLiteral("download"));

    QJsonObject extra = good;
    extra.insert(QStringLiteral("note"), QStringLiteral("kept"));
    EXPECT_TRUE(scriptMessage(extra));
    QJsonObject number = good;
    number.insert(QStringLiteral("note"), 3);
    EXPECT_FALSE(scriptMessage(number));
    EXPECT_FALSE(scriptMessage(QJsonObject{{QStringLiteral("base64"), QStringLiteral("QQ==")}}));
    EXPECT_FALSE(scriptMessage(QJsonObject{{QStringLiteral("action"), QStringLiteral("replace")}}));
    EXPECT_FALSE(scriptMessage(QJsonValue(QStringLiteral("base64"))));
    EXPECT_FALSE(scriptMessage(QJsonArray{QStringLiteral("QQ=="), QStringLiteral("download")}));
}

TEST(ScholarRulesTest, Base64IsDecodedStrictly)
{
    EXPECT_EQ(decodeStrictBase64(QStringLiteral("JVBERi0=")), QByteArray("%PDF-"));
    EXPECT_EQ(decodeStrictBase64(QStringLiteral("+/+/")), QByteArray::fromBase64("+/+/"));
    EXPECT_EQ(decodeStrictBase64(QString()), QByteArray());
    for (const char *bad : {"JVBERi0", "JVBE\nRi0=", "JVBE Ri0=", "JV=ERi0=", "JVBERi==0", "JVB===", "-_-_", "JVBERi0=\n"})
        EXPECT_FALSE(decodeStrictBase64(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(decodeStrictBase64(QStringLiteral("JVBE量Ri0=")));
}

TEST(ScholarRulesTest, OnlyBytesThatOpenAsAPdfWithPagesMakeADocument)
{
    const QByteArray pdf = test::pdfBytes(3);
    const std::shared_ptr<engine::PdfDocument> document = downloadedPDF(pdf, QStringLiteral("/papers/a.pdf"));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->pageCount(), 3);
    EXPECT_EQ(document->path(), QStringLiteral("/papers/a.pdf"));
    EXPECT_FALSE(downloadedPDF(QByteArray()));
    EXPECT_FALSE(downloadedPDF("<html><body>Sign in</body></html>"));
    // A header alone, or a damaged body behind it, is no paper.
    EXPECT_FALSE(downloadedPDF("%PDF-1.7\n%%EOF\n"));
    EXPECT_FALSE(downloadedPDF(QByteArray("%PDF-1.4\n") + QByteArray(4000, 'x')));
    // The header is looked for where readers look for it.
    EXPECT_FALSE(downloadedPDF(QByteArray(2000, ' ') + pdf));
}

TEST(ScholarRulesTest, SaveNameIsTheAddressFileNameWhenItIsAPdf)
{
    const auto name = [](const char *address) { return suggestedPDFName(QUrl(QString::fromUtf8(address))); };
    EXPECT_EQ(name("https://example.org/files/Deep%20Nets.PDF?dl=1#p2"), QStringLiteral("Deep Nets.PDF"));
    EXPECT_EQ(name("https://example.org/files/%E9%87%8F%E5%AD%90.pdf"), QStringLiteral("量子.pdf"));
    EXPECT_EQ(name("https://example.org/a%2Fb.pdf"), QStringLiteral("a_b.pdf"));
    EXPECT_EQ(name("https://example.org/paper"), QStringLiteral("downloaded.pdf"));
    EXPECT_EQ(name("https://example.org/"), QStringLiteral("downloaded.pdf"));
    EXPECT_EQ(name("https://example.org/paper.pdf.html"), QStringLiteral("downloaded.pdf"));
}
