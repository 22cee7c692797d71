#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/byte_format.h"
#include "base/count_text.h"
#include "base/date.h"
#include "base/path.h"
#include "base/terminal_text.h"
#include "base/tree.h"
#include "base/uuid.h"
#include "support/second_user.h"

namespace tb {
namespace {

TEST(ByteFormat, DecimalUnitsWithOneDecimalBelowHundredAndPercents) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 B"},         {999, "999 B"},          {1000, "1.0 KB"},
        {99949, "99.9 KB"}, {999999, "1000 KB"},     {1000000, "1.0 MB"},
        {-5, "-5 B"},       {-3'000'000, "-3.0 MB"}, {1'000'000'000'000'000'000, "1000 PB"},
    };
    for (auto [bytes, text] : cases)
        EXPECT_EQ(ByteFormat::string(bytes), text) << bytes;
    // A percentage is zero below a whole of one.
    EXPECT_DOUBLE_EQ(ByteFormat::percent(1, 4), 25.0);
    EXPECT_DOUBLE_EQ(ByteFormat::percent(5, 0.5), 0.0);
}

TEST(CountText, GroupsDigitsAndTakesTheSingularForExactlyOne) {
    const std::pair<std::int64_t, const char*> numbers[] = {
        {0, "0"},          {999, "999"},         {1000, "1,000"},          {1716, "1,716"},
        {-1234, "-1,234"}, {957'912, "957,912"}, {1'000'000, "1,000,000"},
    };
    for (auto [n, text] : numbers)
        EXPECT_EQ(CountText::number(n), text) << n;
    EXPECT_EQ(CountText::number(INT64_MIN), "-9,223,372,036,854,775,808");

    const std::tuple<std::int64_t, const char*, const char*, const char*> nouns[] = {
        {1, "group", "", "1 group"},
        {0, "group", "", "0 groups"},
        {2, "group", "", "2 groups"},
        {-1, "file", "", "-1 files"},
        {1, "entry", "entries", "1 entry"},
        {21, "entry", "entries", "21 entries"},
        {958'000, "file", "", "958,000 files"},
    };
    for (const auto& [n, one, many, text] : nouns)
        EXPECT_EQ(CountText::of(n, one, many), text) << n << ' ' << one;
}

TEST(Date, KeepsNanosecondsNormalisesAndPrintsTheDistantPastAsYearOne) {
    const Date d = Date::fromUnix(10, -1);
    EXPECT_EQ(d.seconds, 9);
    EXPECT_EQ(d.nanoseconds, 999'999'999);
    EXPECT_NEAR(Date::fromUnix(5, 500'000'000).secondsSince(Date::fromUnix(4, 0)), 1.5, 1e-12);
    const Date back = Date::fromUnixDouble(1700000000.25);
    EXPECT_EQ(back.seconds, 1700000000);
    EXPECT_NEAR(back.nanoseconds, 250'000'000, 1000);
    EXPECT_LT(Date::distantPast(), Date::fromUnix(-60'000'000'000, 0));
    EXPECT_EQ(Date::distantPast().isoString(), "0001-01-01T00:00:00Z");
    EXPECT_TRUE(Date::distantPast().isDistantPast());
}

TEST(Uuid, RandomIsVersionFourAndRoundTripsUpperCase) {
    std::unordered_set<Uuid> seen;
    for (int i = 0; i < 10000; ++i) {
        const Uuid u = Uuid::random();
        EXPECT_EQ(u.bytes[6] >> 4, 4);
        EXPECT_TRUE(seen.insert(u).second);
        const std::string text = u.toString();
        EXPECT_EQ(text.size(), 36u);
        EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
        EXPECT_EQ(Uuid::parse(text), u);
    }
    EXPECT_FALSE(Uuid::parse("not-a-uuid"));
    EXPECT_FALSE(Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5G"));
    EXPECT_TRUE(Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
}

// Two instances of one program share a file of records keyed by these.
TEST(Uuid, AForkedChildDrawsOtherIdentitiesThanItsParent) {
    (void)Uuid::random(); // the generator exists before the fork
    const auto child = Uuid::parse(test::inChild([] { return Uuid::random().toString(); }));
    ASSERT_TRUE(child);
    EXPECT_NE(*child, Uuid::random());
}

TEST(Path, ComponentsContainmentAndTrailingSlashes) {
    EXPECT_EQ(Path::lastComponent("/a/b"), "b");
    EXPECT_EQ(Path::displayName("/"), "/");
    EXPECT_EQ(Path::appending("/", "x"), "/x");
    EXPECT_EQ(Path::parent("/a"), "/");
    EXPECT_EQ(Path::extension("/x/Foo.APP"), "APP");
    EXPECT_EQ(Path::extension("/x/.bashrc"), "");
    EXPECT_TRUE(Path::isSameOrInside("/a/b", "/a"));
    EXPECT_FALSE(Path::isSameOrInside("/ab", "/a"));
    EXPECT_EQ(Path::standardized("/a/./b/../c//"), "/a/c");
    EXPECT_EQ(Path::fileUrl("/a b/%\xff"), "file:///a%20b/%25%FF");

    // Trailing slashes go, but the root stays.
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b", "/a/b"}, {"/a/b/", "/a/b"}, {"/a//", "/a"}, {"/", "/"},
        {"///", "/"},     {"", ""},          {"a/", "a"},    {"/a/./", "/a/."},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(Path::trimmedSlashes(in), out) << '"' << in << '"';
    // The parent of a path with trailing slashes is that of the trimmed path.
    EXPECT_EQ(Path::parent("/a/b//"), "/a");
    EXPECT_EQ(Path::parent("//"), "/");
}

struct Node {
    int id;
    std::vector<Node*> kids;
    std::span<Node* const> children() const { return kids; }
};

std::vector<int> idsOf(const std::vector<const Node*>& nodes) {
    std::vector<int> ids;
    for (const Node* n : nodes)
        ids.push_back(n->id);
    return ids;
}

TEST(TreeWalk, EachNodeBeforeItsDescendantsAndDeepChainsNeedNoRecursion) {
    Node d{4, {}}, c{3, {}}, b{2, {&d}}, a{1, {&b, &c}};
    EXPECT_EQ(idsOf(Tree::flattened<const Node>(&a)), (std::vector<int>{1, 3, 2, 4}));
    EXPECT_EQ(idsOf(Tree::flattened<const Node>(&d)), (std::vector<int>{4}));

    // A chain far deeper than a call stack would allow.
    std::vector<Node> chain(200'000);
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        chain[i].id = int(i);
        chain[i].kids = {&chain[i + 1]};
    }
    int visited = 0;
    Tree::preorder<const Node>(&chain[0], [&](const Node*) { ++visited; });
    EXPECT_EQ(visited, int(chain.size()));
}

TEST(TerminalText, EscapesWhatATerminalWouldActOnAndKeepsTheRest) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"plain/caf\xc3\xa9 \xf0\x9f\x98\x80", "plain/caf\xc3\xa9 \xf0\x9f\x98\x80"},
        {"red\x1b[31m", "red\\x1b[31m"},
        {"a\0b"s, "a\\x00b"},
        {"new\nline\ttab\rcr\x7f", "new\\nline\\ttab\\rcr\\x7f"},
        {"back\\slash\\x41", "back\\\\slash\\\\x41"},
        {"bad\xff\xc3(", "bad\\xff\\xc3("},              // not UTF-8
        {"csi\xc2\x9b[2J", "csi\\u009b[2J"},             // a C1 control
        {"rlo\xe2\x80\xaegpj.exe", "rlo\\u202egpj.exe"}, // reorders what follows
        {"ls\xe2\x80\xa8", "ls\\u2028"},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(TerminalText::escaped(bytes), shown) << shown;
}

} // namespace
} // namespace tb
