#include "host_call_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brisk::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

// Lines as the stand-in host writes them; the call that opened a workbook
// (seq 3) is written after the event that happened inside it (seq 4).
constexpr char kLog[] =
    R"({"seq":1,"type":"event","event":"start","pid":264,"pointer_bits":32,"config_read":true})"
    "\n"
    R"({"seq":2,"type":"call","object":"application","dispid":558,"kind":"put","lcid":0,"args":[{"vt":"bool","value":0}],"named":[-3],"result":{"vt":"empty"},"hr":"0x00000000"})"
    "\n"
    R"({"seq":4,"type":"event","event":"first_contact","addin":"C:\\t\\briskstub.dll","loaded":true})"
    "\n"
    R"({"seq":3,"type":"call","object":"workbooks","dispid":682,"kind":"method","lcid":2048,"args":[{"vt":"bstr","value":"C:\\t\\a.xls"},{"vt":"error","value":"0x80020004"}],"named":[],"result":{"vt":"dispatch","value":true},"hr":"0x00000000"})"
    "\r\n"
    R"({"seq":5,"type":"call","object":"application","dispid":139,"kind":"put","lcid":0,"args":[{"vt":"bstr","value":"Caf\u00e9 \ud83d\ude00"}],"named":[-3],"result":{"vt":"empty"},"hr":"0x00000000"})"
    "\n"
    R"({"seq":6,"type":"call","object":"application","dispid":558,"kind":"put","lcid":0,"args":[{"vt":"bool","value":-1}],"named":[-3],"result":{"vt":"empty"},"hr":"0x00000000"})"
    "\n\n"
    R"({"seq":7,"type":"call","object":"application","dispid":2788,"kind":"put","lcid":0,"args":[{"vt":"i4","value":1}],"named":[-3],"result":{"vt":"empty"},"hr":"0x80020009","exception":{"wcode":5}})"
    "\n"
    R"({"seq":8,"type":"event","event":"start","pid":300})";

TEST(HostCallLogTest, RecordsComeInSeqOrderWithTheirMembers) {
  const HostCallLog log = HostCallLog::Parse(kLog);
  EXPECT_THAT(log.faults(), IsEmpty());
  ASSERT_THAT(log.records(), SizeIs(8));
  for (std::size_t i = 0; i < log.records().size(); ++i) EXPECT_EQ(log.records()[i].seq, static_cast<int>(i) + 1);
  const HostRecord& open = log.records()[2];
  EXPECT_EQ(open.object, "workbooks");
  EXPECT_EQ(open.dispid, 682);
  EXPECT_EQ(open.kind, "method");
  ASSERT_THAT(open.args, SizeIs(2));
  EXPECT_EQ(open.args[1].String("value"), std::optional<std::string>("0x80020004"));
  EXPECT_EQ(log.records()[6].hr, "0x80020009");
  EXPECT_EQ(log.records()[6].line.Find("exception")->Integer("wcode"), std::optional<std::int64_t>(5));
}

TEST(HostCallLogTest, PutsAndEventsByMember) {
  const HostCallLog log = HostCallLog::Parse(kLog);
  EXPECT_THAT(log.BoolPuts(558), ElementsAre(false, true));
  EXPECT_THAT(log.IntPuts(2788), ElementsAre(1));
  EXPECT_THAT(log.TextPuts(139), ElementsAre("Caf\xC3\xA9 \xF0\x9F\x98\x80"));
  EXPECT_THAT(log.Calls("workbooks", 682), SizeIs(1));
  EXPECT_THAT(log.Calls("application", 682), IsEmpty());
  EXPECT_THAT(log.StartedProcesses(), ElementsAre(264u, 300u));
  ASSERT_THAT(log.Events("first_contact"), SizeIs(1));
  EXPECT_EQ(log.Events("first_contact").front()->line.String("addin"), std::optional<std::string>("C:\\t\\briskstub.dll"));
}

TEST(HostCallLogTest, SummaryNamesEveryCallWithThePutValue) {
  EXPECT_THAT(HostCallLog::Parse(kLog).CallSummary(),
              ElementsAre("application.558 put false", "workbooks.682 method",
                          "application.139 put Caf\xC3\xA9 \xF0\x9F\x98\x80", "application.558 put true",
                          "application.2788 put 1"));
}

TEST(HostCallLogTest, UnreadableLinesAreListedAndSkipped) {
  const HostCallLog log = HostCallLog::Parse(
      "{\"seq\":1,\"type\":\"event\",\"event\":\"start\",\"pid\":1}\n"
      "{\"seq\":2,\"type\":\"call\",\"object\":\"application\"\n"   // cut off
      "{\"seq\":3,\"type\":\"call\",\"object\":\"application\",\"dispid\":1,\"kind\":\"get\"}\n"  // no args
      "{\"seq\":4,\"type\":\"other\"}\n"
      "not json\n"
      "{\"seq\":6,\"type\":\"event\",\"event\":\"exit\",\"quit_code\":0}");
  EXPECT_THAT(log.records(), SizeIs(2));
  ASSERT_THAT(log.faults(), SizeIs(4));
  EXPECT_EQ(log.faults()[0].rfind("line 2:", 0), 0u);
  EXPECT_EQ(log.faults()[3].rfind("line 5:", 0), 0u);
}

TEST(JsonValueTest, RefusesWhatIsNoSingleValue) {
  for (const char* text : {"", "{", "{\"a\":1,}", "{\"a\":1}x", "{\"a\":1,\"a\":2}", "[1,]", "\"\\x\"",
                           "\"\\u12\"", "{a:1}", "\"open"}) {
    EXPECT_FALSE(JsonValue::Parse(text).has_value()) << text;
  }
}

TEST(JsonValueTest, NestsAndReadsEveryKind) {
  const std::optional<JsonValue> value =
      JsonValue::Parse(R"( {"a":[1,-2,{"b":null}],"t":true,"f":false,"s":"x\"\\\/\n","n":12.5} )");
  ASSERT_TRUE(value.has_value());
  const JsonValue* a = value->Find("a");
  ASSERT_NE(a, nullptr);
  ASSERT_THAT(a->items(), SizeIs(3));
  EXPECT_EQ(a->items()[1].Integer(), std::optional<std::int64_t>(-2));
  EXPECT_TRUE(a->items()[2].Find("b")->IsNull());
  EXPECT_EQ(value->Bool("t"), std::optional<bool>(true));
  EXPECT_EQ(value->Bool("f"), std::optional<bool>(false));
  EXPECT_EQ(value->String("s"), std::optional<std::string>("x\"\\/\n"));
  EXPECT_FALSE(value->Integer("n").has_value()) << "a fraction is no integer";
  EXPECT_FALSE(value->String("a").has_value());
  EXPECT_EQ(value->Find("missing"), nullptr);
}

TEST(JsonValueTest, UnpairedSurrogateBecomesReplacementCharacter) {
  const std::optional<JsonValue> value = JsonValue::Parse(R"("a\ud800b")");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->String(), std::optional<std::string>("a\xEF\xBF\xBD" "b"));
}

TEST(JsonValueTest, DeepNestingIsRefusedNotOverflowed) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_FALSE(JsonValue::Parse(deep).has_value());
}

}  // namespace
}  // namespace brisk::e2e
