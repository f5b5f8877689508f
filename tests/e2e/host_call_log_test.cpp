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
  EXPECT_EQ(json::Member<std::string>(open.args[1], "value"), std::optional<std::string>("0x80020004"));
  EXPECT_EQ(log.records()[6].hr, "0x80020009");
  EXPECT_EQ(json::Member<std::int64_t>(log.records()[6].line.at("exception"), "wcode"), std::optional<std::int64_t>(5));
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
  EXPECT_EQ(json::Member<std::string>(log.Events("first_contact").front()->line, "addin"),
            std::optional<std::string>("C:\\t\\briskstub.dll"));
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
      "{\"seq\":2,\"type\":\"call\",\"object\":\"application\"\n"                                 // cut off
      "{\"seq\":3,\"type\":\"call\",\"object\":\"application\",\"dispid\":1,\"kind\":\"get\"}\n"  // no args
      "{\"seq\":4,\"type\":\"other\"}\n"
      "not json\n"
      "{\"seq\":6,\"type\":\"event\",\"event\":\"exit\",\"quit_code\":0}");
  EXPECT_THAT(log.records(), SizeIs(2));
  ASSERT_THAT(log.faults(), SizeIs(4));
  EXPECT_EQ(log.faults()[0].rfind("line 2:", 0), 0u);
  EXPECT_EQ(log.faults()[3].rfind("line 5:", 0), 0u);
}

TEST(HostCallLogTest, UnpairedSurrogateBecomesReplacementCharacter) {
  const HostCallLog log = HostCallLog::Parse(
      R"({"seq":1,"type":"call","object":"application","dispid":139,"kind":"put","lcid":0,"args":[{"vt":"bstr","value":"a\ud800b"}]})"
      "\n"
      R"({"seq":2,"type":"call","object":"application","dispid":139,"kind":"put","lcid":0,"args":[{"vt":"bstr","value":"\udc00\\ud800\ud83d\ude00\ud83d"}]})");
  EXPECT_THAT(log.faults(), IsEmpty());
  EXPECT_THAT(log.TextPuts(139), ElementsAre("a\xEF\xBF\xBD"
                                             "b",
                                             "\xEF\xBF\xBD\\ud800\xF0\x9F\x98\x80\xEF\xBF\xBD"));
}

TEST(HostCallLogTest, RepeatedMembersAndDeepNestingMakeALineUnreadable) {
  const HostCallLog log = HostCallLog::Parse(R"({"seq":1,"type":"event","event":"start","event":"exit"})"
                                             "\n"
                                             R"({"seq":2,"type":"event","event":"start","deep":)" +
                                             std::string(100000, '[') + std::string(100000, ']') + "}");
  EXPECT_THAT(log.records(), IsEmpty());
  EXPECT_THAT(log.faults(), SizeIs(2));
}

}  // namespace
}  // namespace brisk::e2e
