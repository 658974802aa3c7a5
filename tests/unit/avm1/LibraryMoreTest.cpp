// More of the library: generic Array methods on plain objects, sortOn, boxing constructors,
// Error, Object helpers, timers on methods, XML tree editing, Date setters.

#include <gtest/gtest.h>

#include <cmath>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

using avm1::Value;
using avm1::Vm;

class More : public LibraryFixture {
  protected:
    Value array(std::vector<Value> items) { return Value(vm().newArray(items)); }
    Value object(std::vector<std::pair<const char*, Value>> members) {
        avm1::Object* o = vm().newObject();
        for (auto& [k, v] : members) {
            vm().set(Value(o), k, v);
        }
        return Value(o);
    }
    double num(const Value& v) { return vm().toNumber(v); }
};

TEST_F(More, ArrayMethodsWorkOnPlainObjectsWithALength) {
    const Value o = object({{"0", str("a")}, {"1", str("b")}, {"length", Value(2.0)}});
    const Value push = vm().get(global("Array"), "prototype");
    auto apply = [&](const char* method, std::vector<Value> args) {
        return vm().call(vm().get(push, method), o, args);
    };
    EXPECT_EQ(num(apply("push", {str("c")})), 3);
    EXPECT_EQ(text(vm().get(o, "2")), "c");
    EXPECT_EQ(text(apply("join", {str("+")})), "a+b+c");
    EXPECT_EQ(text(apply("pop", {})), "c");
    EXPECT_EQ(num(vm().get(o, "length")), 2);
    apply("reverse", {});
    EXPECT_EQ(text(apply("join", {})), "b,a");
}

TEST_F(More, ShiftUnshiftAndPopOnArrays) {
    const Value a = array({Value(1.0), Value(2.0), Value(3.0)});
    EXPECT_EQ(num(call(a, "shift")), 1);
    EXPECT_EQ(num(call(a, "unshift", {Value(7.0), Value(8.0)})), 4);
    EXPECT_EQ(text(a), "7,8,2,3");
    EXPECT_EQ(num(call(a, "pop")), 3);
    const Value empty = array({});
    EXPECT_TRUE(call(empty, "pop").isUndefined());
    EXPECT_TRUE(call(empty, "shift").isUndefined());
    EXPECT_EQ(num(vm().get(empty, "length")), 0);
}

TEST_F(More, SortOnFieldsWithTheirOwnFlags) {
    const Value items = array({object({{"n", str("b")}, {"v", Value(2.0)}}),
                               object({{"n", str("a")}, {"v", Value(10.0)}}),
                               object({{"n", str("b")}, {"v", Value(1.0)}})});
    call(items, "sortOn", {array({str("n"), str("v")}), array({Value(0.0), Value(16.0)})});
    std::string order;
    for (int i = 0; i < 3; ++i) {
        const Value e = vm().get(items, vm().intern(std::to_string(i)));
        order += text(vm().get(e, "n")) + text(vm().get(e, "v")) + " ";
    }
    EXPECT_EQ(order, "a10 b1 b2 ");
    // One field, descending, indices only.
    const Value idx = call(items, "sortOn", {str("v"), Value(16.0 + 2.0 + 8.0)});
    EXPECT_EQ(text(idx), "0,2,1");
}

TEST_F(More, SplitWithLimitsAndEmptySeparators) {
    EXPECT_EQ(text(call(str("a,b,c"), "split", {str(","), Value(2.0)})), "a,b");
    EXPECT_EQ(num(vm().get(call(str("abc"), "split", {str("")}), "length")), 3);
    EXPECT_EQ(num(vm().get(call(str("abc"), "split"), "length")), 1);
    EXPECT_EQ(num(vm().get(call(str(""), "split", {str(",")}), "length")), 1);
    EXPECT_EQ(text(call(str("a--b--"), "split", {str("--")})), "a,b,");
}

TEST_F(More, BoxingConstructorsAndTheirConversions) {
    const Value n = construct("Number", {str("42")});
    EXPECT_EQ(text(vm().typeOf(n)), "object");
    EXPECT_EQ(num(n), 42);
    EXPECT_EQ(text(call(n, "toString", {Value(2.0)})), "101010");
    const Value b = construct("Boolean", {str("")});
    EXPECT_EQ(text(b), "false");
    EXPECT_TRUE(vm().toBoolean(b));  // any object is true
    EXPECT_EQ(num(vm().call(global("Number"), Value(), std::vector<Value>{str("0x10")})), 16);
    EXPECT_TRUE(std::isnan(num(vm().call(global("Number"), Value(), std::vector<Value>{Value()}))));
    EXPECT_EQ(text(vm().call(global("String"), Value(), std::vector<Value>{Value(1.5)})), "1.5");
}

TEST_F(More, ErrorsCarryAMessage) {
    const Value e = construct("Error", {str("bad thing")});
    EXPECT_EQ(text(e), "bad thing");
    EXPECT_EQ(text(vm().get(e, "name")), "Error");
    EXPECT_EQ(text(construct("Error")), "Error");
    EXPECT_TRUE(vm().instanceOf(e, global("Error").object()));
}

TEST_F(More, ObjectHelpers) {
    const Value proto = object({{"inherited", Value(1.0)}});
    const Value o = object({{"own", Value(2.0)}});
    vm().set(o, "__proto__", proto);
    EXPECT_TRUE(vm().toBoolean(call(proto, "isPrototypeOf", {o})));
    EXPECT_FALSE(vm().toBoolean(call(o, "isPrototypeOf", {proto})));
    EXPECT_TRUE(vm().toBoolean(call(o, "hasOwnProperty", {str("own")})));
    EXPECT_FALSE(vm().toBoolean(call(o, "hasOwnProperty", {str("inherited")})));
    EXPECT_TRUE(vm().toBoolean(call(o, "isPropertyEnumerable", {str("own")})));
    EXPECT_FALSE(vm().toBoolean(call(o, "isPropertyEnumerable", {str("inherited")})));
    EXPECT_EQ(text(vm().typeOf(call(o, "valueOf"))), "object");
    EXPECT_TRUE(vm().toBoolean(vm().call(vm().get(global("Object"), "registerClass"), Value(),
                                         std::vector<Value>{str("Sym"), global("Array")})));
}

TEST_F(More, TimersCanCallAMethodByName) {
    ActionWriter method;
    method.push({"called with "}).getVariable("x").act(op::Add2).act(op::Trace);
    ActionWriter a;
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"m"}).defineFunction("", {"x"}, method).act(op::SetMember);
    a.push({"arg", 5, "m"}).getVariable("o").push({4, "setTimeout"}).act(op::CallFunction);
    a.act(op::Pop);
    ScriptRun run(8, a);
    run.frames(1);
    run.vm().runTimers(100);
    run.vm().runTimers(200);
    EXPECT_EQ(run.output(), "called with arg\n");
    // A result for a load nobody asked for is ignored.
    run.vm().deliverLoad(12345, true, "x=1");
    EXPECT_EQ(run.output(), "called with arg\n");
}

TEST_F(More, XmlTreeEditing) {
    const Value doc = construct("XML", {str("<r><a/><c/></r>")});
    const Value r = vm().get(doc, "firstChild");
    const Value a = vm().get(r, "firstChild");
    const Value c = vm().get(r, "lastChild");
    const Value b = call(doc, "createElement", {str("b")});
    call(r, "insertBefore", {b, c});
    EXPECT_EQ(text(doc), "<r><a /><b /><c /></r>");
    EXPECT_TRUE(Vm::strictEquals(vm().get(a, "nextSibling"), b));
    EXPECT_TRUE(Vm::strictEquals(vm().get(c, "previousSibling"), b));
    EXPECT_TRUE(vm().get(a, "previousSibling").isNull());
    const Value copy = call(r, "cloneNode", {Value::boolean(true)});
    call(b, "removeNode");
    EXPECT_EQ(text(doc), "<r><a /><c /></r>");
    EXPECT_EQ(text(copy), "<r><a /><b /><c /></r>");
    EXPECT_TRUE(vm().get(copy, "parentNode").isNull());
    call(a, "appendChild", {call(doc, "createTextNode", {str("1 < 2")})});
    EXPECT_EQ(text(doc), "<r><a>1 &lt; 2</a><c /></r>");
    EXPECT_EQ(num(vm().get(vm().get(a, "firstChild"), "nodeType")), 3);
}

TEST_F(More, XmlIgnoreWhiteAndDeclarations) {
    const Value doc = construct("XML");
    vm().set(doc, "ignoreWhite", Value::boolean(true));
    call(doc, "parseXML", {str("<!DOCTYPE x><x>\n  <y> keep </y>\n</x>")});
    EXPECT_EQ(text(vm().get(doc, "docTypeDecl")), "<!DOCTYPE x>");
    EXPECT_EQ(text(doc), "<!DOCTYPE x><x><y> keep </y></x>");
}

TEST_F(More, DateSettersNormaliseAndInvalidDatesStayInvalid) {
    const Value d = construct("Date", {Value(2000.0), Value(0.0), Value(31.0)});
    call(d, "setMonth", {Value(1.0)});  // February 31st rolls into March
    EXPECT_EQ(num(call(d, "getMonth")), 2);
    EXPECT_EQ(num(call(d, "getDate")), 2);  // 2000 is a leap year
    call(d, "setHours", {Value(25.0)});
    EXPECT_EQ(num(call(d, "getDate")), 3);
    EXPECT_EQ(num(call(d, "getHours")), 1);
    call(d, "setTime", {str("nonsense")});
    EXPECT_TRUE(std::isnan(num(call(d, "getTime"))));
    EXPECT_TRUE(std::isnan(num(call(d, "getDate"))));
    call(d, "setFullYear", {Value(1999.0)});  // a year makes an invalid date valid again
    EXPECT_EQ(num(call(d, "getFullYear")), 1999);
    EXPECT_EQ(num(call(d, "getYear")), 99);
}

TEST_F(More, InternedNamesDoNotPileUp) {
    // Properties with ever new names, dropped again: their names are swept too.
    ActionWriter a;
    a.push({0}).storeRegister(1).act(op::Pop);
    const auto top = a.newLabel();
    a.bind(top).push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"name", Reg{1}}).act(op::Add2).push({1}).act(op::SetMember);
    a.push({Reg{1}}).act(op::Increment).storeRegister(1);
    a.push({100000}).act(op::Less2).ifTrue(top);
    ScriptRun run(8, a);
    run.frames(1);
    run.vm().collectGarbage();
    EXPECT_LT(run.vm().liveCells(), 20000u);
}

TEST_F(More, ContextMenuCopiesAreDeepAndHidingClearsTheBuiltIns) {
    const Value handler = global("trace");
    const Value menu = construct("ContextMenu", {handler});
    EXPECT_TRUE(Vm::strictEquals(vm().get(menu, "onSelect"), handler));
    const Value builtIn = vm().get(menu, "builtInItems");
    EXPECT_TRUE(vm().toBoolean(vm().get(builtIn, "print")));
    vm().set(builtIn, "zoom", Value::boolean(false));
    const Value item = construct("ContextMenuItem", {str("Go"), handler});
    EXPECT_FALSE(vm().toBoolean(vm().get(item, "separatorBefore")));
    EXPECT_TRUE(vm().toBoolean(vm().get(item, "enabled")));
    EXPECT_TRUE(vm().toBoolean(vm().get(item, "visible")));
    call(vm().get(menu, "customItems"), "push", {item});

    const Value copy = call(menu, "copy");
    const Value copiedBuiltIn = vm().get(copy, "builtInItems");
    EXPECT_FALSE(Vm::strictEquals(copiedBuiltIn, builtIn));
    EXPECT_FALSE(vm().toBoolean(vm().get(copiedBuiltIn, "zoom")));
    EXPECT_TRUE(vm().toBoolean(vm().get(copiedBuiltIn, "save")));
    const Value copiedItem = vm().get(vm().get(copy, "customItems"), "0");
    EXPECT_FALSE(Vm::strictEquals(copiedItem, item));
    EXPECT_EQ(text(vm().get(copiedItem, "caption")), "Go");

    // Hiding touches only the menu it is called on.
    call(menu, "hideBuiltInItems");
    for (const char* name :
         {"save", "zoom", "quality", "play", "loop", "rewind", "forward_back", "print"}) {
        EXPECT_FALSE(vm().toBoolean(vm().get(builtIn, name))) << name;
    }
    EXPECT_TRUE(vm().toBoolean(vm().get(copiedBuiltIn, "print")));
    // The methods stay out of for-in.
    EXPECT_TRUE(vm().enumerate(vm().get(global("ContextMenu"), "prototype").asObject()).empty());
}

}  // namespace
}  // namespace zd::avm1test
