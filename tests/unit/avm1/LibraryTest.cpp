// The built-in library's edge cases, called directly through the interpreter's API.

#include <gtest/gtest.h>

#include <cmath>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

using avm1::Value;

class Library : public ::testing::Test {
  protected:
    explicit Library(int version = 8) : run_(version, ActionWriter()) {}

    avm1::Vm& vm() { return run_.vm(); }
    Value global(const char* name) { return vm().get(Value(vm().global()), name); }
    Value str(const char* s) { return Value(vm().str(std::string_view(s))); }
    Value callFn(const Value& fn, std::vector<Value> args) { return vm().call(fn, Value(), args); }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return vm().call(vm().get(self, method), self, args);
    }
    Value construct(const char* cls, std::vector<Value> args = {}) {
        return vm().construct(global(cls), args);
    }
    Value array(std::vector<Value> items) { return Value(vm().newArray(items)); }
    std::string text(const Value& v) { return vm().toStdString(v); }

    ScriptRun run_;
};

TEST_F(Library, ArraySortDefaultIsTextOrderWithUndefinedLast) {
    const Value a = array({Value(10.0), Value(), Value(9.0), str("b"), Value(1.0)});
    call(a, "sort");
    EXPECT_EQ(text(call(a, "join", {str("|")})), "1|10|9|b|undefined");
}

TEST_F(Library, ArraySortFlags) {
    const Value a = array({Value(10.0), Value(9.0), Value(100.0)});
    call(a, "sort", {Value(16.0 + 2.0)});  // NUMERIC | DESCENDING
    EXPECT_EQ(text(a), "100,10,9");
    const Value words = array({str("b"), str("A"), str("a")});
    const Value indices = call(words, "sort", {Value(1.0 + 8.0)});  // CASEINSENSITIVE | INDEXED
    EXPECT_EQ(text(indices), "2,1,0");  // equal keys end in the order movies see
    EXPECT_EQ(text(words), "b,A,a");    // RETURNINDEXEDARRAY leaves the array alone
    const Value dup = array({Value(2.0), Value(1.0), Value(2.0)});
    EXPECT_EQ(text(call(dup, "sort", {Value(4.0)})), "0");  // UNIQUESORT with duplicates
    EXPECT_EQ(text(dup), "2,1,2");
}

TEST_F(Library, ArraySortWithAComparatorThatLies) {
    // A comparator answering at random must neither crash nor lose elements.
    ActionWriter body;
    body.push({2}).act(op::RandomNumber).push({1}).act(op::Subtract).act(op::Return);
    ActionWriter define;
    define.push({"cmp"}).defineFunction("", {"a", "b"}, body).act(op::SetVariable);
    run_.vm().runActions(std::make_shared<const avm1::Bytes>(define.bytes()),
                         avm1trace::TraceHost::kRoot);
    std::vector<Value> items;
    for (int i = 0; i < 200; ++i) {
        items.push_back(Value(static_cast<double>(i)));
    }
    const Value a = array(items);
    const Value cmp = vm().get(Value(vm().clipObject(avm1trace::TraceHost::kRoot)), "cmp");
    call(a, "sort", {cmp});
    double sum = 0;
    for (int i = 0; i < 200; ++i) {
        sum += vm().toNumber(vm().get(a, vm().intern(std::to_string(i))));
    }
    EXPECT_EQ(sum, 199.0 * 200.0 / 2.0);
}

TEST_F(Library, ArraySpliceSliceConcatAndHoles) {
    const Value a = array({Value(1.0), Value(2.0), Value(3.0), Value(4.0)});
    const Value removed = call(a, "splice", {Value(1.0), Value(2.0), str("x")});
    EXPECT_EQ(text(removed), "2,3");
    EXPECT_EQ(text(a), "1,x,4");
    EXPECT_EQ(text(call(a, "slice", {Value(-2.0)})), "x,4");
    EXPECT_EQ(text(call(a, "concat", {array({Value(5.0)}), Value(6.0)})), "1,x,4,5,6");
    // Writing far past the end leaves holes, which count in length.
    vm().set(a, "6", str("end"));
    EXPECT_EQ(vm().toNumber(vm().get(a, "length")), 7);
    EXPECT_EQ(text(call(a, "join", {str("-")})), "1-x-4-undefined-undefined-undefined-end");
    vm().set(a, "length", Value(2.0));
    EXPECT_EQ(text(a), "1,x");
    EXPECT_TRUE(vm().get(a, "6").isUndefined());
}

TEST_F(Library, ArrayConstructorWithOneNumberMakesLength) {
    EXPECT_EQ(vm().toNumber(vm().get(construct("Array", {Value(3.0)}), "length")), 3);
    EXPECT_EQ(text(construct("Array", {Value(3.0), Value(4.0)})), "3,4");
    EXPECT_EQ(text(construct("Array", {Value(1.5)})), "1.5");
}

TEST_F(Library, StringMethodsCountUtf16Units) {
    const Value s = str("h\xc3\xa9llo, w\xc3\xb6rld");
    EXPECT_EQ(text(call(s, "charAt", {Value(1.0)})), "\xc3\xa9");
    EXPECT_EQ(vm().toNumber(call(s, "charCodeAt", {Value(1.0)})), 0xe9);
    EXPECT_EQ(vm().toNumber(call(s, "indexOf", {str("w")})), 7);
    EXPECT_EQ(vm().toNumber(call(s, "lastIndexOf", {str("l")})), 10);
    EXPECT_EQ(text(call(s, "substr", {Value(-5.0), Value(2.0)})), "w\xc3\xb6");
    EXPECT_EQ(text(call(s, "substring", {Value(5.0), Value(0.0)})), "h\xc3\xa9llo");
    EXPECT_EQ(text(call(s, "slice", {Value(-3.0)})), "rld");
    EXPECT_EQ(text(call(s, "split", {str(", ")})), "h\xc3\xa9llo,w\xc3\xb6rld");
    EXPECT_EQ(text(call(s, "toUpperCase")), "H\xc3\x89LLO, W\xc3\x96RLD");
    const Value fromCharCode = vm().get(global("String"), "fromCharCode");
    EXPECT_EQ(text(callFn(fromCharCode, {Value(72.0), Value(105.0)})), "Hi");
    EXPECT_TRUE(std::isnan(vm().toNumber(call(s, "charCodeAt", {Value(99.0)}))));
}

TEST_F(Library, StringObjectsHaveAFixedLength) {
    const Value boxed = construct("String", {str("blah")});
    EXPECT_EQ(vm().toNumber(vm().get(boxed, "length")), 4);
    EXPECT_FALSE(vm().remove(boxed.object(), vm().intern("length")));
    EXPECT_EQ(text(vm().typeOf(boxed)), "object");
    EXPECT_EQ(text(boxed), "blah");
}

TEST_F(Library, NumberAndGlobalParsing) {
    EXPECT_EQ(text(call(Value(255.0), "toString", {Value(16.0)})), "ff");
    const Value parseInt = global("parseInt");
    const Value parseFloat = global("parseFloat");
    auto pi = [&](const char* s, std::vector<Value> more = {}) {
        std::vector<Value> args{str(s)};
        args.insert(args.end(), more.begin(), more.end());
        return vm().toNumber(vm().call(parseInt, Value(), args));
    };
    EXPECT_EQ(pi("0x1F"), 31);
    EXPECT_EQ(pi("  -42px"), -42);
    EXPECT_EQ(pi("012"), 10);  // octal when only octal digits follow
    EXPECT_EQ(pi("z", {Value(36.0)}), 35);
    EXPECT_TRUE(std::isnan(pi("10", {Value(1.0)})));
    auto pf = [&](const char* s) { return vm().toNumber(callFn(parseFloat, {str(s)})); };
    EXPECT_EQ(pf("0000.12345GIBBERISH"), 0.12345);
    EXPECT_EQ(pf("1.2345.678"), 1.2345678);
    EXPECT_EQ(pf("10e"), 10);
    EXPECT_TRUE(std::isnan(pf("Infinity")));
}

TEST_F(Library, MathMaxMinAndRound) {
    const Value math = global("Math");
    EXPECT_EQ(vm().toNumber(call(math, "max")), -INFINITY);
    EXPECT_TRUE(std::isnan(vm().toNumber(call(math, "min", {Value(1.0), str("x")}))));
    EXPECT_EQ(vm().toNumber(call(math, "round", {Value(-2.5)})), -2);
    EXPECT_EQ(vm().toNumber(call(math, "round", {Value(2.5)})), 3);
}

TEST_F(Library, FunctionCallAndApplyBindThis) {
    ActionWriter body;
    body.push({"this"}).act(op::GetVariable).push({"k"}).act(op::GetMember);
    body.getVariable("a").act(op::Add2).getVariable("b").act(op::Add2).act(op::Return);
    ActionWriter define;
    define.push({"f"}).defineFunction("", {"a", "b"}, body).act(op::SetVariable);
    run_.vm().runActions(std::make_shared<const avm1::Bytes>(define.bytes()),
                         avm1trace::TraceHost::kRoot);
    const Value f = vm().get(Value(vm().clipObject(avm1trace::TraceHost::kRoot)), "f");
    avm1::Object* self = vm().newObject();
    vm().set(Value(self), "k", str("K"));
    EXPECT_EQ(text(call(f, "call", {Value(self), str("1"), str("2")})), "K12");
    EXPECT_EQ(text(call(f, "apply", {Value(self), array({str("x"), str("y")})})), "Kxy");
}

TEST_F(Library, BroadcasterDeliversToEachListenerOnce) {
    avm1::Object* source = vm().newObject();
    callFn(vm().get(global("AsBroadcaster"), "initialize"), {Value(source)});
    ActionWriter body;
    body.push({"this"}).act(op::GetVariable).push({"got"}).getVariable("x").act(op::SetMember);
    ActionWriter define;
    define.push({"h"}).defineFunction("", {"x"}, body).act(op::SetVariable);
    run_.vm().runActions(std::make_shared<const avm1::Bytes>(define.bytes()),
                         avm1trace::TraceHost::kRoot);
    const Value handler = vm().get(Value(vm().clipObject(avm1trace::TraceHost::kRoot)), "h");
    avm1::Object* listener = vm().newObject();
    vm().set(Value(listener), "onPing", handler);
    EXPECT_TRUE(vm().toBoolean(call(Value(source), "addListener", {Value(listener)})));
    call(Value(source), "addListener", {Value(listener)});  // twice: still one entry
    EXPECT_EQ(vm().toNumber(vm().get(vm().get(Value(source), "_listeners"), "length")), 1);
    call(Value(source), "broadcastMessage", {str("onPing"), str("hello")});
    EXPECT_EQ(text(vm().get(Value(listener), "got")), "hello");
    EXPECT_TRUE(vm().toBoolean(call(Value(source), "removeListener", {Value(listener)})));
    EXPECT_FALSE(vm().toBoolean(call(Value(source), "removeListener", {Value(listener)})));
}

TEST_F(Library, DateFieldsFollowTheHostsZone) {
    // 2001-02-03 04:05:06 at UTC+05:45 is 2001-02-02 22:20:06 UTC.
    const Value d = construct("Date", {Value(981152406000.0)});
    EXPECT_EQ(text(d), "Sat Feb 3 04:05:06 GMT+0545 2001");
    EXPECT_EQ(vm().toNumber(call(d, "getHours")), 4);
    EXPECT_EQ(vm().toNumber(call(d, "getUTCHours")), 22);
    EXPECT_EQ(vm().toNumber(call(d, "getUTCDate")), 2);
    EXPECT_EQ(vm().toNumber(call(d, "getTimezoneOffset")), -345);
    const Value utc = vm().get(global("Date"), "UTC");
    EXPECT_EQ(vm().toNumber(callFn(utc, {Value(2000.0), Value(0.0), Value(1.0)})), 946684800000.0);
    // Local construction and month overflow: 2001, month 13 is February 2002.
    const Value local = construct("Date", {Value(2001.0), Value(13.0), Value(1.0)});
    EXPECT_EQ(vm().toNumber(call(local, "getFullYear")), 2002);
    EXPECT_EQ(vm().toNumber(call(local, "getMonth")), 1);
    call(local, "setDate", {Value(0.0)});  // day 0 is the last of the month before
    EXPECT_EQ(vm().toNumber(call(local, "getDate")), 31);
    EXPECT_EQ(text(construct("Date", {str("junk")})), "Invalid Date");
    // A fractional time keeps its fraction but reads whole milliseconds.
    const Value fraction = construct("Date", {Value(5.5)});
    EXPECT_EQ(vm().toNumber(call(fraction, "getTime")), 5.5);
    EXPECT_EQ(vm().toNumber(call(fraction, "getMilliseconds")), 5);
    EXPECT_EQ(vm().toNumber(call(fraction, "getUTCMilliseconds")), 5);
}

TEST_F(Library, XmlParsesAndWritesBack) {
    const Value x = construct("XML", {str("<?xml version=\"1.0\"?><a k=\"1 &amp; 2\"><b/>"
                                          "text &lt;here&gt;<![CDATA[<raw>]]></a>")});
    EXPECT_EQ(vm().toNumber(vm().get(x, "status")), 0);
    const Value a = vm().get(x, "firstChild");
    EXPECT_EQ(text(vm().get(a, "nodeName")), "a");
    EXPECT_EQ(text(vm().get(vm().get(a, "attributes"), "k")), "1 & 2");
    EXPECT_EQ(vm().toNumber(vm().get(vm().get(a, "childNodes"), "length")), 3);
    EXPECT_EQ(text(vm().get(vm().get(a, "lastChild"), "nodeValue")), "<raw>");
    EXPECT_EQ(text(x),
              "<?xml version=\"1.0\"?><a k=\"1 &amp; 2\"><b />text &lt;here&gt;"
              "&lt;raw&gt;</a>");
}

TEST_F(Library, XmlReportsMalformedDocuments) {
    EXPECT_EQ(vm().toNumber(vm().get(construct("XML", {str("<a><b></a>")}), "status")), -9);
    EXPECT_EQ(vm().toNumber(vm().get(construct("XML", {str("</a>")}), "status")), -10);
    EXPECT_EQ(vm().toNumber(vm().get(construct("XML", {str("<a k=\"1></a>")}), "status")), -8);
    EXPECT_EQ(vm().toNumber(vm().get(construct("XML", {str("<!-- open")}), "status")), -5);
}

TEST_F(Library, XmlNodesCannotContainThemselves) {
    const Value x = construct("XML", {str("<a><b/></a>")});
    const Value a = vm().get(x, "firstChild");
    const Value b = vm().get(a, "firstChild");
    call(b, "appendChild", {a});  // would make a cycle: refused
    EXPECT_EQ(text(x), "<a><b /></a>");
    call(x, "appendChild", {b});  // moving a node detaches it from its old parent
    EXPECT_EQ(text(x), "<a /><b />");
}

TEST_F(Library, LoadVarsDecodesAndEncodes) {
    const Value lv = construct("LoadVars");
    call(lv, "decode", {str("name=J%C3%BCrgen+X&empty=&flag")});
    EXPECT_EQ(text(vm().get(lv, "name")), "J\xc3\xbcrgen X");
    EXPECT_EQ(text(vm().get(lv, "empty")), "");
    EXPECT_EQ(text(vm().get(lv, "flag")), "");
    const Value one = construct("LoadVars");
    vm().set(one, "a b", str("c&d=\xc3\xa9"));
    EXPECT_EQ(text(one), "a+b=c%26d%3D%C3%A9");
}

TEST_F(Library, LoadsGoThroughTheHostAndCallOnLoad) {
    ActionWriter a;
    ActionWriter onLoad;
    onLoad.push({"loaded: "}).getVariable("ok").act(op::Add2).act(op::Trace);
    onLoad.push({"this"}).act(op::GetVariable).push({"v"}).act(op::GetMember).act(op::Trace);
    a.push({"lv", 0, "LoadVars"}).act(op::NewObject).act(op::SetVariable);
    a.getVariable("lv").push({"onLoad"}).defineFunction("", {"ok"}, onLoad).act(op::SetMember);
    a.push({"vars.txt", 1}).getVariable("lv").push({"load"}).act(op::CallMethod).act(op::Pop);
    a.push({"../secret.txt", 1}).getVariable("lv").push({"load"}).act(op::CallMethod);
    a.act(op::Pop);
    ScriptRun run(8, a);
    run.frames(1);
    ASSERT_EQ(run.host().requests.size(), 2u);
    EXPECT_EQ(run.host().requests[0], "load vars.txt");
    // The stand-in has no folder: both loads fail and onLoad hears so.
    EXPECT_EQ(run.output(), "loaded: false\nundefined\nloaded: false\nundefined\n");
}

// Element names in the order a for-in loop visits them (the newest first).
std::string forIn(avm1::Vm& vm, const Value& o) {
    std::vector<avm1::String*> names = vm.enumerate(o.object());
    std::string out;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        out += std::string((*it)->view()) + ",";
    }
    return out;
}

TEST_F(Library, ArrayMethodsRemakeElementsInTheOrderForInShows) {
    const Value a = array({Value(1.0), Value(2.0), Value(3.0)});
    EXPECT_EQ(forIn(vm(), a), "2,1,0,");
    call(a, "reverse");
    EXPECT_EQ(text(a), "3,2,1");
    EXPECT_EQ(forIn(vm(), a), "2,0,1,");  // the swapped pair is made anew, low first

    const Value b = array({Value(1.0), Value(2.0), Value(3.0)});
    EXPECT_EQ(vm().toNumber(call(b, "unshift", {Value(42.0), Value(43.0)})), 5);
    EXPECT_EQ(text(b), "42,43,1,2,3");
    EXPECT_EQ(forIn(vm(), b), "1,0,2,3,4,");

    // Holes become undefined elements once moved.
    const Value c = construct("Array", {Value(4.0)});
    vm().set(c, "3", Value(7.0));
    EXPECT_EQ(forIn(vm(), c), "3,");
    EXPECT_TRUE(call(c, "shift").isUndefined());
    EXPECT_EQ(forIn(vm(), c), "2,1,0,");
    EXPECT_EQ(text(c), "undefined,undefined,7");
}

TEST_F(Library, ArrayMethodsKeepElementsThatCannotBeDeletedInPlace) {
    const Value a = array({Value(1.0), Value(2.0), Value(3.0)});
    callFn(global("ASSetPropFlags"), {a, str("2"), Value(2.0)});  // don't delete
    EXPECT_EQ(vm().toNumber(call(a, "shift")), 1);
    EXPECT_EQ(text(a), "2,3");
    EXPECT_EQ(forIn(vm(), a), "1,0,2,");  // "2" outlives the shorter length

    const Value b = array({Value(1.0), Value(2.0), Value(3.0)});
    callFn(global("ASSetPropFlags"), {b, str("0"), Value(6.0)});  // don't delete, read-only
    call(b, "shift");
    EXPECT_EQ(text(b), "1,3");
}

TEST_F(Library, ArrayLengthIsASigned32BitCount) {
    EXPECT_EQ(vm().toNumber(vm().get(construct("Array", {Value(-1.0)}), "length")), -1);
    const Value a = array({Value(1.0), Value(2.0)});
    vm().set(a, "-5", Value(0.0));
    vm().set(a, "2147483648", Value(0.0));  // wraps below the length: no change
    EXPECT_EQ(vm().toNumber(vm().get(a, "length")), 2);
    // The length wraps negative, which deletes the elements from 0 up.
    vm().set(a, "2147483647", Value(0.0));
    EXPECT_EQ(vm().toNumber(vm().get(a, "length")), -2147483648.0);
    EXPECT_TRUE(vm().get(a, "0").isUndefined());
    EXPECT_EQ(vm().toNumber(vm().get(a, "-5")), 0);
    EXPECT_EQ(forIn(vm(), a), "2147483647,2147483648,-5,");
    vm().set(a, "4294967295", Value(0.0));  // -1: not below the length, so it grows
    EXPECT_EQ(vm().toNumber(vm().get(a, "length")), 0);
}

TEST_F(Library, ArrayElementsMadeAfterOtherPropertiesEnumerateAfterThem) {
    const Value a = array({Value(1.0)});
    vm().set(a, "foo", Value(2.0));
    call(a, "push", {Value(3.0)});
    vm().set(a, "5", Value(4.0));
    EXPECT_EQ(forIn(vm(), a), "5,1,foo,0,");
    EXPECT_EQ(vm().toNumber(vm().get(a, "length")), 6);
    vm().set(a, "length", Value(1.0));
    EXPECT_EQ(forIn(vm(), a), "foo,0,");
}

}  // namespace
}  // namespace zd::avm1test
