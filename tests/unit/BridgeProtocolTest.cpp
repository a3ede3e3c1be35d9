// The bridge's message protocol: the dispatcher's table, request reading, argument
// rules, reply texts and the dispatcher, driven through a recording host.
#include "shared/bridge/BridgeArguments.h"
#include "shared/bridge/BridgeDispatcher.h"
#include "shared/bridge/BridgeProtocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Norvane::Shared;

namespace {

// The address of an application page, the source of the messages below.
constexpr const char* AppPage = "file:///index.html";

class TRecordingHost : public IBridgeHost {
public:
    bool Runtime = true;
    std::vector<std::string> Posts;
    std::vector<std::string> Refusals;
    int Focused = 0;

    void PostWebMessageAsJson(const std::string& Json) override { Posts.push_back(Json); }
    void ShowRefusal(const std::string& Text) override { Refusals.push_back(Text); }
    bool IsRuntimeMode() const override { return Runtime; }
    void FocusBrowser() override { ++Focused; }
};

struct TCall {
    std::int32_t Id;
    std::string Uuid;
    std::string DataKeys; // the data object's keys, joined by ","
};

std::string Keys(const TJsonValue& data) {
    std::string keys;
    for (const TJsonMember& m : data.Members())
        keys += (keys.empty() ? "" : ",") + m.Key;
    return keys;
}

// A dispatcher whose every table function is served by a recorder.
class BridgeDispatch : public ::testing::Test {
protected:
    TRecordingHost Host;
    TBridgeDispatcher Dispatcher{Host};
    std::vector<TCall> Calls;

    // Functions of each kind the bridge has: with and without arguments,
    // served everywhere or only at runtime; each records its calls.
    void SetUp() override {
        const std::vector<TBridgeFunction> table = {
            {10001, "qvx.hello", false, false, ""},
            {10002, "qvx.isRuntime", false, false, ""},
            {20001, "qvx.dialogs.openFile", true, false, ""},
            {30001, "qvx.files.fileExists", true, false, ""},
            {30004, "qvx.files.extractFile", true, true, RuntimeOnlyRefusal("qvx.app.extractFile")},
            {40001, "qvx.folders.dirExists", true, false, ""},
            {50005, "qvx.app.getArgs", false, true, RuntimeOnlyRefusal("qvx.app.getArgs")},
        };
        for (const TBridgeFunction& f : table)
            Dispatcher.Register(f, [this, id = f.Id](const TBridgeCall& call) {
                Calls.push_back({id, call.Uuid, Keys(call.Data)});
                return TBridgeResult::NoReply();
            });
    }

    void Send(const std::string& json) { Dispatcher.HandleWebMessage(AppPage, "", json); }

    std::string ErrorOf(const std::string& json) {
        try {
            Send(json);
        } catch (const EBridgeError& e) {
            return e.what();
        }
        return "(no error)";
    }

    void ExpectNothingHappened() {
        EXPECT_TRUE(Calls.empty());
        EXPECT_TRUE(Host.Posts.empty());
        EXPECT_TRUE(Host.Refusals.empty());
        EXPECT_EQ(Host.Focused, 0);
    }
};

rapidjson::Document ParseBack(const std::string& json) {
    rapidjson::Document doc;
    doc.Parse(json.c_str(), json.size());
    EXPECT_FALSE(doc.HasParseError()) << json;
    return doc;
}

} // namespace

// ---------------------------------------------------------------------------
// Dispatch

TEST_F(BridgeDispatch, ServesANumberWithItsUuidAndData) {
    Send(R"({"id": 30001, "uuid": "u-1", "data": {"filePath": "a.txt", "x": null}})");
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Id, 30001);
    EXPECT_EQ(Calls[0].Uuid, "u-1");
    EXPECT_EQ(Calls[0].DataKeys, "filePath,x");
    // Replies are the functions' business: the dispatcher posts nothing itself.
    EXPECT_TRUE(Host.Posts.empty());
}

TEST_F(BridgeDispatch, IdsThatAreNoTableNumberOrNoIntegerAreIgnored) {
    // Not in the table: no reply, no message.
    Send(R"({"id": 12345, "uuid": "u", "data": {}})");
    // Not 32-bit integers: stop without a reply.
    for (const char* id : {R"("abc")", R"("")", "1.5", "20001.0", "2e4", R"("0x4E21")", "2147483648",
                           "-2147483649", "99999999999999999999", R"("20001x")", R"("+-20001")"}) {
        SCOPED_TRACE(id);
        EXPECT_NO_THROW(Send(std::string(R"({"id": )") + id + R"(, "uuid": "u", "data": {}})"));
    }
    ExpectNothingHappened();
}

TEST_F(BridgeDispatch, IdGivenAsStringIsServedLikeTheNumber) {
    Send(R"({"id": "20001", "uuid": "s", "data": {"title": "T"}})");
    Send(R"({"id": "+10001", "uuid": "p", "data": {}})");
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].Id, 20001);
    EXPECT_EQ(Calls[0].Uuid, "s");
    EXPECT_EQ(Calls[0].DataKeys, "title");
    EXPECT_EQ(Calls[1].Id, 10001);
}

TEST_F(BridgeDispatch, FunctionsNotServedYetAreIgnoredButStillRefused) {
    TRecordingHost host;
    TBridgeDispatcher bare(host);
    bool served = false;
    bare.Register({10001, "qvx.hello", false, false, ""}, nullptr);
    bare.Register({50005, "qvx.app.getArgs", false, true, RuntimeOnlyRefusal("qvx.app.getArgs")}, nullptr);
    EXPECT_FALSE(bare.IsServed(10001));
    bare.HandleWebMessage(AppPage, "", R"({"id": 10001, "uuid": "u", "data": {}})");
    EXPECT_TRUE(host.Posts.empty());
    // The refusal comes before anything else.
    host.Runtime = false;
    bare.HandleWebMessage(AppPage, "", R"({"id": 50005, "uuid": "u", "data": {}})");
    EXPECT_THAT(host.Refusals, ::testing::ElementsAre("Calls to qvx.app.getArgs() works only at runtime."));
    bare.Serve(10001, [&](const TBridgeCall&) {
        served = true;
        return TBridgeResult::NoReply();
    });
    EXPECT_TRUE(bare.IsServed(10001));
    bare.HandleWebMessage(AppPage, "", R"({"id": 10001, "uuid": "u", "data": {}})");
    EXPECT_TRUE(served);
    EXPECT_TRUE(host.Posts.empty());
}

TEST_F(BridgeDispatch, MissingOrMistypedKeysRaiseWithTheirTexts) {
    // A script call without an argument object drops the data key.
    EXPECT_EQ(ErrorOf(R"({"id": 20001, "uuid": "u"})"), "Value 'data' not found");
    EXPECT_EQ(ErrorOf(R"({"uuid": "u", "data": {}})"), "Value 'id' not found");
    EXPECT_EQ(ErrorOf(R"({"id": 10001, "data": {}})"), "Value 'uuid' not found");
    EXPECT_EQ(ErrorOf(R"({})"), "Value 'id' not found");
    EXPECT_EQ(ErrorOf(R"([1, 2])"), "Value 'id' not found");
    EXPECT_EQ(ErrorOf(R"("text")"), "Value 'id' not found");
    EXPECT_EQ(ErrorOf(R"({"id": 10001, "uuid": "u", "data": []})"),
              "Conversion from TJSONArray to TJSONObject is not supported");
    EXPECT_EQ(ErrorOf(R"({"id": 10001, "uuid": "u", "data": "x"})"),
              "Conversion from TJSONString to TJSONObject is not supported");
    EXPECT_EQ(ErrorOf(R"({"id": 10001, "uuid": "u", "data": null})"),
              "Conversion from TJSONNull to TJSONObject is not supported");
    EXPECT_EQ(ErrorOf(R"({"id": {"n": 1}, "uuid": "u", "data": {}})"),
              "Conversion from TJSONObject to string is not supported");
    EXPECT_EQ(ErrorOf(R"({"id": 10001, "uuid": ["u"], "data": {}})"),
              "Conversion from TJSONArray to string is not supported");
    EXPECT_EQ(ErrorOf(R"({"id": 10001, "uuid": null, "data": {}})"),
              "Conversion from TJSONNull to string is not supported");
    ExpectNothingHappened();

    // The next message is served as usual.
    Send(R"({"id": 10001, "uuid": "after", "data": {}})");
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Uuid, "after");
}

TEST_F(BridgeDispatch, TextThatIsNoJsonRaises) {
    const std::vector<std::string> texts = {"",
                                            "   ",
                                            "{",
                                            R"({"id": 10001,})",
                                            "qvx-webbrowser-clicked",
                                            R"({"id": 10001, "uuid": "u", "data": {}} x)",
                                            std::string("{}\0{}", 5),
                                            "{\"id\": 10001, \"uuid\": \"\xff\", \"data\": {}}"};
    for (const std::string& bad : texts) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf(bad).rfind("Invalid JSON text: ", 0), 0u) << ErrorOf(bad);
    }
    ExpectNothingHappened();
}

TEST_F(BridgeDispatch, ARequestNestedTooDeeplyRaisesAndTheNextIsServed) {
    const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
    EXPECT_EQ(ErrorOf(R"({"id": 10001, "uuid": "u", "data": {"a": )" + deep + "}}")
                  .rfind("Invalid JSON text: nesting deeper than 512 levels", 0),
              0u);
    ExpectNothingHappened();
    Send(R"({"id": 10001, "uuid": "after", "data": {}})");
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0].Uuid, "after");
}

TEST_F(BridgeDispatch, RuntimeOnlyFunctionsAreRefusedOutsideRuntimeMode) {
    Host.Runtime = false;
    Send(R"({"id": 50005, "uuid": "a", "data": {}})");
    Send(R"({"id": 30004, "uuid": "b", "data": {"sourceFile": "/x", "targetFile": "y"}})");
    EXPECT_EQ(Host.Refusals,
              (std::vector<std::string>{"Calls to qvx.app.getArgs() works only at runtime.",
                                        "Calls to qvx.app.extractFile() works only at runtime."}));
    EXPECT_TRUE(Calls.empty());
    EXPECT_TRUE(Host.Posts.empty());

    // Functions that work everywhere still run; in runtime mode the others do.
    Send(R"({"id": 10002, "uuid": "c", "data": {}})");
    Host.Runtime = true;
    Send(R"({"id": 50005, "uuid": "d", "data": {}})");
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].Id, 10002);
    EXPECT_EQ(Calls[1].Id, 50005);
    EXPECT_EQ(Host.Refusals.size(), 2u);
}

TEST_F(BridgeDispatch, OnlyApplicationDocumentsReachTheFunctions) {
    const std::string request = R"({"id": 30001, "uuid": "u", "data": {"filePath": "f"}})";
    for (const char* source : {"file:///index.html", "FILE:///sub/page.html", "blob:file:///5d1c"}) {
        Dispatcher.HandleWebMessage(source, "", request);
        EXPECT_EQ(Calls.size(), 1u) << source;
        Calls.clear();
    }
    // Dropped before anything is read: no call, no reply, no error, no focus.
    Host.Runtime = false;
    for (const char* source :
         {"http://127.0.0.1:8080/remote.html", "https://example.org/", "about:blank", "data:text/html,x",
          "blob:https://example.org/5d1c", "", "norvane://app/index.html"}) {
        EXPECT_NO_THROW(Dispatcher.HandleWebMessage(source, "", "{not json")) << source;
        Dispatcher.HandleWebMessage(source, "qvx-webbrowser-clicked", R"("qvx-webbrowser-clicked")");
        Dispatcher.HandleWebMessage(source, "", request);
    }
    EXPECT_TRUE(Calls.empty());
    EXPECT_TRUE(Host.Posts.empty());
    EXPECT_EQ(Host.Focused, 0);
}

TEST_F(BridgeDispatch, BrowserClickedMessageFocusesOnlyOutsideRuntimeMode) {
    // The browser hands a plain-string message over as the string and as its
    // JSON text.
    const std::string asJson = R"("qvx-webbrowser-clicked")";
    Host.Runtime = false;
    Dispatcher.HandleWebMessage(AppPage, "qvx-webbrowser-clicked", asJson);
    EXPECT_EQ(Host.Focused, 1);
    // Not parsed at all: not even broken JSON text raises.
    Dispatcher.HandleWebMessage(AppPage, "qvx-webbrowser-clicked", "{not json");
    EXPECT_EQ(Host.Focused, 2);
    // Another string is read as a request.
    EXPECT_THROW(
        Dispatcher.HandleWebMessage(AppPage, "qvx-webbrowser-clicked ", R"("qvx-webbrowser-clicked ")"),
        EBridgeError);

    Host.Runtime = true;
    try {
        Dispatcher.HandleWebMessage(AppPage, "qvx-webbrowser-clicked", asJson);
        ADD_FAILURE() << "parsed without an error";
    } catch (const EBridgeError& e) {
        EXPECT_STREQ(e.what(), "Value 'id' not found");
    }
    EXPECT_EQ(Host.Focused, 2);
    EXPECT_TRUE(Calls.empty());
    EXPECT_TRUE(Host.Posts.empty());
}

TEST_F(BridgeDispatch, ErrorsOfAHandlerReachTheCaller) {
    Dispatcher.Serve(30001, [](const TBridgeCall& call) {
        return TBridgeResult::PlainText(ReadTextArg(call.Data, "filePath")); // an object here raises
    });
    Dispatcher.Serve(40001, [](const TBridgeCall&) -> TBridgeResult { throw std::runtime_error("disk gone"); });
    EXPECT_EQ(ErrorOf(R"({"id": 30001, "uuid": "u", "data": {"filePath": {}}})"),
              "Conversion from TJSONObject to string is not supported");
    EXPECT_THROW(Send(R"({"id": 40001, "uuid": "u", "data": {}})"), std::runtime_error);
    EXPECT_TRUE(Host.Posts.empty());
}

TEST_F(BridgeDispatch, ANumberIsInTheTableOnce) {
    EXPECT_THROW(Dispatcher.Serve(12345, [](const TBridgeCall&) { return TBridgeResult::NoReply(); }),
                 std::invalid_argument);
    EXPECT_EQ(Dispatcher.Find(12345), nullptr);
    EXPECT_THROW(Dispatcher.Register({10001, "qvx.other", false, false, ""}, nullptr), std::invalid_argument);
    EXPECT_EQ(Dispatcher.Find(10001)->ScriptName, "qvx.hello");
    EXPECT_THROW(Dispatcher.Register({0, "qvx.zero", false, false, ""}, nullptr), std::invalid_argument);
}

TEST_F(BridgeDispatch, RepliesCarryTheUuidOfTheirOwnRequest) {
    Dispatcher.Serve(10001, [](const TBridgeCall&) { return TBridgeResult::PlainText("2022.5"); });
    // A function that, like a modal dialog, lets another request through
    // before it answers; its refusal is answered as its error.
    Dispatcher.Serve(20001, [this](const TBridgeCall& call) {
        Send(R"({"id": 10001, "uuid": "inner", "data": {}})");
        return TBridgeResult::PlainText(AcceptPath(ReadTextArg(call.Data, "filePath"), "Missing filePath"));
    });
    Send(R"({"id": 20001, "uuid": "outer", "data": {}})");
    ASSERT_EQ(Host.Posts.size(), 2u);
    EXPECT_EQ(Host.Posts[0], R"({"uuid": "inner", "success": true, "result": "2022.5"})");
    EXPECT_EQ(Host.Posts[1], R"({"uuid": "outer", "success": false, "result": "Missing filePath"})");
}

TEST_F(BridgeDispatch, UuidWithAQuoteStillGivesValidJson) {
    Dispatcher.Serve(10001, [](const TBridgeCall&) { return TBridgeResult::PlainText("2022.5"); });
    Send(R"({"id": 10001, "uuid": "a\"b\\c\nd", "data": {}})");
    ASSERT_EQ(Host.Posts.size(), 1u);
    const rapidjson::Document reply = ParseBack(Host.Posts[0]);
    ASSERT_TRUE(reply.IsObject());
    EXPECT_EQ(std::string(reply["uuid"].GetString()), "a\"b\\c\nd");
    EXPECT_TRUE(reply["success"].IsTrue());
    EXPECT_EQ(std::string(reply["result"].GetString()), "2022.5");
}

// ---------------------------------------------------------------------------
// Argument reading

TEST(BridgeArguments, TextArgumentsFollowTheReadingRules) {
    const TJsonValue data = TJsonValue::Parse(R"({
        "str": "abc", "empty": "", "null": null, "half": 12.5, "exp": 1e3, "zeroes": 1.10,
        "negzero": -0.0, "big": 12345678901234567890123, "int": 20001, "yes": true, "no": false,
        "escaped": "a\"b\u00e9\n", "obj": {"a": 1}, "arr": [1]
    })");
    EXPECT_EQ(ReadTextArg(data, "absent"), "");
    EXPECT_EQ(ReadTextArg(data, "absent", "Open file"), "Open file");
    EXPECT_EQ(ReadTextArg(data, "null", "Open file"), "Open file");
    EXPECT_EQ(ReadTextArg(data, "empty", "Open file"), "");
    EXPECT_EQ(ReadTextArg(data, "str"), "abc");
    // Numbers read as the JSON text the page sent.
    EXPECT_EQ(ReadTextArg(data, "half"), "12.5");
    EXPECT_EQ(ReadTextArg(data, "exp"), "1e3");
    EXPECT_EQ(ReadTextArg(data, "zeroes"), "1.10");
    EXPECT_EQ(ReadTextArg(data, "negzero"), "-0.0");
    EXPECT_EQ(ReadTextArg(data, "big"), "12345678901234567890123");
    EXPECT_EQ(ReadTextArg(data, "int"), "20001");
    EXPECT_EQ(ReadTextArg(data, "yes"), "true");
    EXPECT_EQ(ReadTextArg(data, "no", "x"), "false");
    EXPECT_EQ(ReadTextArg(data, "escaped"), "a\"b\xc3\xa9\n");
    try {
        ReadTextArg(data, "obj");
        ADD_FAILURE() << "object read as text";
    } catch (const EBridgeError& e) {
        EXPECT_STREQ(e.what(), "Conversion from TJSONObject to string is not supported");
    }
    try {
        ReadTextArg(data, "arr", "default");
        ADD_FAILURE() << "array read as text";
    } catch (const EBridgeError& e) {
        EXPECT_STREQ(e.what(), "Conversion from TJSONArray to string is not supported");
    }
}

TEST(BridgeArguments, BooleanArgumentsTakeOnlyJsonBooleans) {
    const TJsonValue data = TJsonValue::Parse(
        R"({"yes": true, "no": false, "null": null, "word": "true", "one": 1, "obj": {}, "arr": []})");
    EXPECT_TRUE(ReadBoolArg(data, "absent", true));
    EXPECT_FALSE(ReadBoolArg(data, "absent", false));
    EXPECT_TRUE(ReadBoolArg(data, "null", true));
    EXPECT_FALSE(ReadBoolArg(data, "null", false));
    EXPECT_TRUE(ReadBoolArg(data, "yes", false));
    EXPECT_FALSE(ReadBoolArg(data, "no", true));
    const std::vector<std::pair<const char*, const char*>> wrong = {
        {"word", "Conversion from TJSONString to Boolean is not supported"},
        {"one", "Conversion from TJSONNumber to Boolean is not supported"},
        {"obj", "Conversion from TJSONObject to Boolean is not supported"},
        {"arr", "Conversion from TJSONArray to Boolean is not supported"},
    };
    for (const auto& [key, text] : wrong) {
        try {
            ReadBoolArg(data, key, false);
            ADD_FAILURE() << key << " read as a boolean";
        } catch (const EBridgeError& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
}

TEST(BridgeArguments, IntegerTextIsDecimalWithinThirtyTwoBits) {
    std::int32_t v = 7;
    EXPECT_TRUE(TryParseInt32("20001", v));
    EXPECT_EQ(v, 20001);
    EXPECT_TRUE(TryParseInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(TryParseInt32("+2147483647", v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(TryParseInt32("007", v));
    EXPECT_EQ(v, 7);
    v = 5;
    for (const char* bad :
         {"", "+", "-", "2147483648", "-2147483649", "1.5", "1e3", " 1", "1 ", "abc", "+-1", "0x10"})
        EXPECT_FALSE(TryParseInt32(bad, v)) << bad;
    EXPECT_EQ(v, 5);
}

// ---------------------------------------------------------------------------
// Reply texts

TEST(BridgeReplies, FormatIsExactAndEscapesOnlyWhatJsonForbids) {
    EXPECT_EQ(FormatBridgeReply("0f8fad5b-d9cb-469f-a165-70867728950e", "true", true),
              R"({"uuid": "0f8fad5b-d9cb-469f-a165-70867728950e", "success": true, "result": true})");
    EXPECT_EQ(FormatBridgeReply("u", R"(["a","b"])", false),
              R"({"uuid": "u", "success": false, "result": ["a","b"]})");
    // Other characters stay as they are, byte for byte.
    EXPECT_EQ(FormatBridgeReply("\xc3\xa9/<>'\x7f", "\"\"", true),
              "{\"uuid\": \"\xc3\xa9/<>'\x7f\", \"success\": true, \"result\": \"\"}");

    std::string every;
    for (int c = 0; c < 0x20; ++c)
        every += static_cast<char>(c);
    every += "\"\\ end";
    const std::string reply = FormatBridgeReply(every, PlainJsonString(every), true);
    const rapidjson::Document doc = ParseBack(reply);
    ASSERT_TRUE(doc.IsObject());
    EXPECT_EQ(std::string(doc["uuid"].GetString(), doc["uuid"].GetStringLength()), every);
    EXPECT_EQ(std::string(doc["result"].GetString(), doc["result"].GetStringLength()), every);
}

TEST(BridgeReplies, PlainStringsKeepTheirTextBetweenQuotes) {
    EXPECT_EQ(PlainJsonString("2022.5"), "\"2022.5\"");
    EXPECT_EQ(PlainJsonString(""), "\"\"");
    EXPECT_EQ(PlainJsonString("Fen\xc3\xaatre \xe2\x80\x93 1,25"), "\"Fen\xc3\xaatre \xe2\x80\x93 1,25\"");
    EXPECT_EQ(PlainJsonString("say \"hi\"\\\t"), R"("say \"hi\"\\\t")");
    EXPECT_EQ(PlainJsonString(std::string("a\0b\x1f", 4)), R"("a\u0000b\u001f")");
}

TEST(BridgeReplies, EscapedStringsAndArraysAreAsciiJson) {
    const std::string path = "C:\\Users\\R\xc3\xa9mi\\\"x\"\n";
    const std::string escaped = EscapedJsonString(path);
    for (const char c : escaped)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80) << escaped;
    rapidjson::Document doc = ParseBack(escaped);
    ASSERT_TRUE(doc.IsString());
    EXPECT_EQ(std::string(doc.GetString()), path);

    EXPECT_EQ(JsonStringArray({}), "[]");
    EXPECT_EQ(JsonStringArray({"a"}), R"(["a"])");
    EXPECT_EQ(JsonStringArray({"a", "b\"c", ""}), R"(["a","b\"c",""])");
    doc = ParseBack(JsonStringArray({"/usr/bin/app", path}));
    ASSERT_TRUE(doc.IsArray());
    ASSERT_EQ(doc.Size(), 2u);
    EXPECT_EQ(std::string(doc[0].GetString()), "/usr/bin/app");
    EXPECT_EQ(std::string(doc[1].GetString()), path);
}

// ---------------------------------------------------------------------------
// JSON values

TEST(BridgeJson, ValuesKeepKindsOrderAndNumberText) {
    const TJsonValue v =
        TJsonValue::Parse(R"( {"b": [1, -2.50, "3", true, false, null, {}], "a": {"x": "y"}} )");
    ASSERT_TRUE(v.IsObject());
    ASSERT_EQ(v.Members().size(), 2u);
    EXPECT_EQ(v.Members()[0].Key, "b");
    EXPECT_EQ(v.Members()[1].Key, "a");
    const TJsonValue* b = v.Find("b");
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Items().size(), 7u);
    const std::vector<std::pair<TJsonKind, std::string>> expected = {
        {TJsonKind::Number, "1"},  {TJsonKind::Number, "-2.50"}, {TJsonKind::String, "3"},
        {TJsonKind::True, "true"}, {TJsonKind::False, "false"},  {TJsonKind::Null, "null"},
        {TJsonKind::Object, ""},
    };
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(b->Items()[i].Kind(), expected[i].first) << i;
        EXPECT_EQ(b->Items()[i].Text(), expected[i].second) << i;
        names.insert(b->Items()[i].ClassName());
    }
    names.insert(b->ClassName());
    EXPECT_EQ(names, (std::set<std::string_view>{"TJSONNumber", "TJSONString", "TJSONTrue", "TJSONFalse",
                                                 "TJSONNull", "TJSONObject", "TJSONArray"}));
    EXPECT_EQ(v.Find("a")->Find("x")->Text(), "y");
    EXPECT_EQ(v.Find("x"), nullptr);
    EXPECT_EQ(b->Find("b"), nullptr); // arrays have no members
}

TEST(BridgeJson, LoneSurrogateEscapesReadAsTheReplacementCharacter) {
    const std::string replacement = "\xEF\xBF\xBD";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"("\ud800")", replacement},
        {R"("a\udcffb")", "a" + replacement + "b"},
        {R"("\uDBFF\uDFFF")", "\xF4\x8F\xBF\xBF"},                     // a pair stays its character
        {R"("\ud800\u0041")", replacement + "A"},                      // high, then no low
        {R"("\udc00\ud800")", replacement + replacement},              // low before high
        {R"("\ud800\ud83d\ude00")", replacement + "\xF0\x9F\x98\x80"}, // high, then a pair
        {R"("\\ud800")", "\\ud800"},                                   // an escaped backslash, then text
        {R"("\\\ud800\\")", "\\" + replacement + "\\"},
    };
    for (const auto& [json, text] : cases) {
        const TJsonValue v = TJsonValue::Parse(json);
        EXPECT_EQ(v.Text(), text) << json;
    }
    const TJsonValue object = TJsonValue::Parse(R"({"k\udc00": "\ud800", "\\udc00": 1})");
    ASSERT_EQ(object.Members().size(), 2u);
    EXPECT_EQ(object.Members()[0].Key, "k" + replacement);
    EXPECT_EQ(object.Members()[0].Value.Text(), replacement);
    EXPECT_EQ(object.Members()[1].Key, "\\udc00");
}

TEST(BridgeJson, NestingIsBoundedForArraysAndObjects) {
    // Depth arrays, or objects whose one member holds the next, around a number.
    const auto arrays = [](std::size_t depth) {
        return std::string(depth, '[') + "1" + std::string(depth, ']');
    };
    const auto objects = [](std::size_t depth) {
        std::string text;
        for (std::size_t i = 0; i < depth; ++i)
            text += R"({"k":)";
        return text + "1" + std::string(depth, '}');
    };
    for (const std::function<std::string(std::size_t)>& nested :
         std::vector<std::function<std::string(std::size_t)>>{arrays, objects}) {
        const TJsonValue deepest = TJsonValue::Parse(nested(TJsonValue::MaxDepth));
        const TJsonValue* inner = &deepest;
        for (std::size_t level = 0; level < TJsonValue::MaxDepth; ++level)
            inner = inner->IsArray() ? &inner->Items().at(0) : &inner->Members().at(0).Value;
        EXPECT_EQ(inner->Text(), "1");
        // One level more, and a million levels closed or left open: refused, not a crash.
        const std::string million = nested(1000000);
        for (const std::string& text :
             {nested(TJsonValue::MaxDepth + 1), million, million.substr(0, million.size() / 2)}) {
            try {
                TJsonValue::Parse(text);
                ADD_FAILURE() << "accepted " << text.substr(0, 40);
            } catch (const EBridgeError& e) {
                EXPECT_EQ(std::string(e.what()).rfind("Invalid JSON text: nesting deeper than 512 levels", 0),
                          0u)
                    << e.what();
            }
        }
    }
}

TEST(BridgeNumbers, GeneralFormatHasFifteenDigitsNoTrailingZerosAndAShortExponent) {
    EXPECT_EQ(FormatGeneralFloat(1.0, "."), "1");
    EXPECT_EQ(FormatGeneralFloat(1.25, "."), "1.25");
    EXPECT_EQ(FormatGeneralFloat(1.25, ","), "1,25");
    EXPECT_EQ(FormatGeneralFloat(0.1 + 0.2, "."), "0.3");
    EXPECT_EQ(FormatGeneralFloat(1.0 / 3.0, "."), "0.333333333333333");
    EXPECT_EQ(FormatGeneralFloat(123456789012345.0, "."), "123456789012345");
    EXPECT_EQ(FormatGeneralFloat(1e15, "."), "1E15");
    EXPECT_EQ(FormatGeneralFloat(1e20, "."), "1E20");
    EXPECT_EQ(FormatGeneralFloat(2.5e-5, ","), "2,5E-5");
    EXPECT_EQ(FormatGeneralFloat(0.0001, "."), "0.0001");
    EXPECT_EQ(FormatGeneralFloat(-0.5, "."), "-0.5");
    EXPECT_EQ(FormatGeneralFloat(0.0, "."), "0");
}

TEST(BridgeNumbers, OnlyDotDecimalsAreNumbers) {
    double value = -1;
    for (const auto& [text, expected] : std::vector<std::pair<std::string, double>>{{"1.5", 1.5},
                                                                                    {"2", 2.0},
                                                                                    {" 0.75 ", 0.75},
                                                                                    {"-1.25", -1.25},
                                                                                    {"+3", 3.0},
                                                                                    {".5", 0.5},
                                                                                    {"1e2", 100.0},
                                                                                    {"1.5E-1", 0.15}}) {
        EXPECT_TRUE(TryParseDotFloat(text, value)) << text;
        EXPECT_DOUBLE_EQ(value, expected) << text;
    }
    for (const char* text :
         {"", " ", "1,5", "1.000,5", "1,000.5", "abc", "1.5x", "inf", "nan", "-", "--1", "0x10", "1e999"}) {
        value = 42;
        EXPECT_FALSE(TryParseDotFloat(text, value)) << text;
        EXPECT_EQ(value, 42) << text;
    }
}
