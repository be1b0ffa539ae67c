// The cleaning of typed titles, case by case.

#include "PaneControllerTestSupport.h"

#include "pane/RenameRules.h"

#include <cctype>

namespace folvan::pane::test {

namespace {

struct RenameCase {
    const char *typed;
    const char *cleaned;
    std::vector<std::pair<const char *, QVariant>> rules;
};

void PrintTo(const RenameCase &c, std::ostream *out)
{
    *out << '"' << c.typed << '"' << (c.rules.empty() ? " by the default rules" : " with");
    for (const auto &[key, value] : c.rules)
        *out << ' ' << key << '=' << value.toString().toStdString();
}

// The case's number and the ASCII letters and digits of what was typed.
std::string caseName(const ::testing::TestParamInfo<RenameCase> &info)
{
    std::string name = "Case" + std::to_string(info.index) + "_";
    for (const char *c = info.param.typed; *c && name.size() < 32; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)))
            name += *c;
    return name;
}

class RenameRulesTest : public folvan::test::TempHomeTest,
                        public ::testing::WithParamInterface<RenameCase> {};

} // namespace

TEST_P(RenameRulesTest, CleansTheTypedTitle)
{
    platform::Preferences defaults(path(QStringLiteral("rules.json")));
    for (const auto &[key, value] : GetParam().rules)
        defaults.setValue(QString::fromUtf8(key), value);
    EXPECT_EQ(RenameRules::clean(QString::fromUtf8(GetParam().typed), defaults), QString::fromUtf8(GetParam().cleaned));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RenameRulesTest,
    ::testing::Values(
        RenameCase{"Deep Learning: A Survey", "Deep Learning- A Survey", {}},
        RenameCase{"Deep Learning: A Survey", "Deep Learning_ A Survey", {{"replacementForColon", QStringLiteral("_")}}},
        RenameCase{"深度学习：综述", "深度学习-综述", {}},
        RenameCase{"a/b\\c|d", "a-b-c-d", {}},
        RenameCase{"Why?", "Why-", {}},
        RenameCase{"Hello!", "Hello", {}},
        RenameCase{"Stars ☆✩ and * marks† $5", "Stars  and  marks 5", {{"collapseSpaces", false}}},
        RenameCase{"<Tag> \xF0\x9F\x93\x84 Title", "Tag Title", {}},
        RenameCase{"\xE2\x80\x9C" "Quoted\"", "Quoted", {}},
        RenameCase{"Line\nbreak\tand\xE2\x80\x8Bzero", "Linebreakandzero", {}},
        RenameCase{"Title [2020] (preprint)", "Title", {{"removeBracketedText", true}}},
        RenameCase{"Title [open", "Title [open", {{"removeBracketedText", true}}},
        RenameCase{"2023 - Title", "Title", {{"removeLeadingNumbers", true}}},
        RenameCase{"1. Title", "Title", {{"removeLeadingNumbers", true}}},
        RenameCase{"2023Title", "2023Title", {{"removeLeadingNumbers", true}}},
        RenameCase{"\xD9\xA1\xD9\xA2 Title", "Title", {{"removeLeadingNumbers", true}}},
        RenameCase{"A   B", "A B", {}},
        RenameCase{"A   B", "A   B", {{"collapseSpaces", false}}},
        RenameCase{"THE ART OF WAR: THE BOOK", "The Art of War- The Book",
                   {{"capitalizeTitles", true}, {"keepSmallWordsLowercase", true}}},
        RenameCase{"MIXED case", "MIXED case", {{"capitalizeTitles", true}}},
        RenameCase{"deep nets for vision", "Deep Nets For Vision", {{"capitalizeLowercaseTitles", true}}},
        RenameCase{"Learning To Rank With Trees", "Learning to Rank with Trees", {{"keepSmallWordsLowercase", true}}},
        RenameCase{"Art Of War_ The Book", "Art of War_ The Book", {{"keepSmallWordsLowercase", true}}},
        RenameCase{"???", "---", {}},
        RenameCase{"!!!", "", {}},
        RenameCase{"paper.pdf", "paper.pdf", {}}),
    caseName);


} // namespace folvan::pane::test
