// Operators and core objects: deleting through paths, instanceof and cast, and the globals
// the player leaves behind.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

TEST(DeletePaths, APathThroughAPrimitiveDeletesNothingAndSaysSo) {
    // o = {t: T}; trace(delete "o.t.y") for a string, a number, a boolean, then null.
    std::string expected;
    ActionWriter a;
    const std::vector<std::pair<swfwriter::PushItem, bool>> rows = {
        {"s", true},
        {2, true},
        {true, true},
        {swfwriter::Null{}, false},
    };
    for (const auto& [t, noticed] : rows) {
        a.push({"o", "t", t, 1}).act(op::InitObject).act(op::SetVariable);
        a.push({"o.t.y"}).act(op::Delete2).act(op::Trace);
        if (noticed) {
            expected +=
                "Parameters of primitive types are no longer coerced into the required "
                "type - Object.\n";
        }
        expected += "false\n";
    }
    EXPECT_EQ(traceOf(8, a), expected);
}

TEST(Globals, OIsNullUntilAMovieSetsIt) {
    ActionWriter a;
    a.getVariable("o").act(op::Trace);
    a.push({"o", 1}).act(op::SetVariable);
    a.getVariable("o").act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "null\n1\n");
}

}  // namespace
}  // namespace zd::avm1test
