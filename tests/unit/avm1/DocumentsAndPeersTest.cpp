// XML namespaces and node moves, ExternalInterface's escaping and the peers that never answer.

#include <gtest/gtest.h>

#include <cmath>

#include "Avm1TestSupport.h"
#include "engine/avm1/Library.h"

namespace zd::avm1test {
namespace {

using avm1::Value;
using avm1::Vm;

using Documents = LibraryFixture;

TEST_F(Documents, NamespacesResolveThroughAncestorsInDocumentOrder) {
    const Value doc = construct(
        "XML",
        {str("<p:a xmlns:p='urn:p' xmlns='urn:first' xmlnsx='urn:second'><p:b xmlns:q='urn:q'/>"
             "<c/></p:a>")});
    const Value a = vm().get(doc, "firstChild");
    const Value b = vm().get(a, "firstChild");
    const Value c = vm().get(a, "lastChild");
    EXPECT_EQ(text(vm().get(b, "prefix")), "p");
    EXPECT_EQ(text(vm().get(b, "localName")), "b");
    EXPECT_EQ(text(vm().get(b, "namespaceURI")), "urn:p");
    EXPECT_EQ(text(call(b, "getNamespaceForPrefix", {str("q")})), "urn:q");
    EXPECT_TRUE(call(a, "getNamespaceForPrefix", {str("q")}).isNull());
    // Any name starting with xmlns declares the default namespace; the first one wins.
    EXPECT_EQ(text(vm().get(c, "prefix")), "");
    EXPECT_EQ(text(vm().get(c, "namespaceURI")), "urn:first");
    EXPECT_EQ(text(call(c, "getPrefixForNamespace", {str("urn:second")})), "");
    EXPECT_TRUE(call(c, "getPrefixForNamespace", {str("urn:none")}).isNull());
    EXPECT_TRUE(vm().get(doc, "prefix").isNull());
    EXPECT_TRUE(vm().get(doc, "namespaceURI").isNull());
}

TEST_F(Documents, AppendingAChildOfTheSameParentKeepsItsPlace) {
    const Value doc = construct("XML", {str("<a/><b/>")});
    const Value a = vm().get(doc, "firstChild");
    call(doc, "appendChild", {a});
    EXPECT_EQ(text(doc), "<a /><b />");
    call(doc, "insertBefore", {vm().get(doc, "lastChild"), a});
    EXPECT_EQ(text(doc), "<a /><b />");
    call(a, "removeNode");
    call(doc, "appendChild", {a});
    EXPECT_EQ(text(doc), "<b /><a />");
}

TEST_F(Documents, IdMapKeepsEntriesAcrossParsesAndNodeNameIgnoresUndefined) {
    const Value doc = construct("XML", {str("<x id='one'/>")});
    call(doc, "parseXML", {str("<y id='two'><z id='three'/></y>")});
    const Value ids = vm().get(doc, "idMap");
    EXPECT_EQ(text(vm().get(vm().get(ids, "one"), "nodeName")), "x");
    EXPECT_EQ(text(vm().get(vm().get(ids, "three"), "nodeName")), "z");
    vm().set(doc, "nodeName", str("root"));
    vm().set(doc, "nodeName", Value());
    EXPECT_EQ(text(doc), "<root><y id=\"two\"><z id=\"three\" /></y></root>");
}

TEST_F(Documents, ByteCountsOfALoadCannotBeDeleted) {
    const Value doc = construct("XML");
    EXPECT_TRUE(vm().get(doc, "_bytesLoaded").isUndefined());
    call(doc, "load", {str("doc.xml")});
    EXPECT_FALSE(vm().remove(doc.object(), vm().intern("_bytesLoaded")));
    EXPECT_FALSE(vm().remove(doc.object(), vm().intern("_bytesTotal")));
    EXPECT_EQ(vm().toNumber(call(doc, "getBytesLoaded")), 0);
    EXPECT_TRUE(call(doc, "getBytesTotal").isUndefined());
}

TEST_F(Documents, SharedObjectDataSurvivesTheStoredLayout) {
    avm1::Object* data = vm().newObject(vm().protos().object);
    const Value nested = construct("Object");
    vm().set(nested, "deep", str("x"));
    const Value list = construct("Array", {Value(1.0), str("two"), Value::null()});
    vm().set(Value(data), "score", Value(12.5));
    vm().set(Value(data), "name", str("h\xC3\xA9ro"));
    vm().set(Value(data), "done", Value::boolean(true));
    vm().set(Value(data), "nested", nested);
    vm().set(Value(data), "list", list);
    vm().set(Value(data), "again", nested);  // the same object twice, and a cycle
    vm().set(nested, "self", nested);
    const std::string bytes = avm1::lib::encodeSharedObject(vm(), "save", data);
    ASSERT_GT(bytes.size(), 16u);
    EXPECT_EQ(bytes.substr(6, 4), "TCSO");

    avm1::Object* back = vm().newObject(vm().protos().object);
    ASSERT_TRUE(avm1::lib::decodeSharedObject(vm(), bytes, back));
    const Value b(back);
    EXPECT_EQ(vm().toNumber(vm().get(b, "score")), 12.5);
    EXPECT_EQ(text(vm().get(b, "name")), "h\xC3\xA9ro");
    EXPECT_TRUE(vm().get(b, "done").boolean());
    EXPECT_EQ(text(vm().get(vm().get(b, "nested"), "deep")), "x");
    EXPECT_TRUE(Vm::strictEquals(vm().get(b, "again"), vm().get(b, "nested")));
    EXPECT_TRUE(Vm::strictEquals(vm().get(vm().get(b, "nested"), "self"), vm().get(b, "nested")));
    EXPECT_EQ(text(vm().get(b, "list")), "1,two,null");
    // Every cut of the file is refused or read in part, never past its end.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        avm1::Object* part = vm().newObject(vm().protos().object);
        avm1::lib::decodeSharedObject(vm(), std::string_view(bytes).substr(0, n), part);
    }
    EXPECT_FALSE(avm1::lib::decodeSharedObject(vm(), "not a file", back));
}

TEST_F(Documents, SharedObjectNamesAndIdentity) {
    const Value cls = global("SharedObject");
    const Value a = call(cls, "getLocal", {str("game")});
    EXPECT_TRUE(Vm::strictEquals(a, call(cls, "getLocal", {str("game")})));
    EXPECT_TRUE(vm().get(a, "data").isObject());
    for (const char* bad : {"", "a b", "x:y", "q?", "p#", "h~"}) {
        EXPECT_TRUE(call(cls, "getLocal", {str(bad)}).isNull()) << bad;
    }
    // The test host keeps nothing: flushing reports that.
    EXPECT_FALSE(call(a, "flush").boolean());
}

TEST_F(Documents, ExternalInterfaceEscapesOnlyTheFiveEntities) {
    const Value ei = vm().get(vm().get(global("flash"), "external"), "ExternalInterface");
    EXPECT_EQ(text(call(ei, "_escapeXML", {str("a<b>&'\"")})), "a&lt;b&gt;&amp;&apos;&quot;");
    EXPECT_EQ(text(call(ei, "_unescapeXML", {str("&amp;lt;&Amp;&#x20;&gt;")})), "&lt;&Amp;&#x20;>");
    EXPECT_TRUE(call(ei, "_escapeXML", {str("")}).isNull());
    EXPECT_TRUE(call(ei, "_unescapeXML").isNull());
}

TEST_F(Documents, ExternalInterfaceQuotesAndReadsValueNodes) {
    const Value ei = vm().get(vm().get(global("flash"), "external"), "ExternalInterface");
    // Only the quote is escaped, a backslash before it is left alone.
    EXPECT_EQ(text(call(ei, "_jsQuoteString", {str("a\\\"b'")})), "a\\\\\"b'");
    EXPECT_TRUE(call(ei, "_jsQuoteString", {str("")}).isNull());
    auto node = [&](const Value& name, const Value& child) {
        const Value n = construct("Object");
        vm().set(n, "nodeName", name);
        vm().set(n, "firstChild", child);
        return call(ei, "_toAS", {n});
    };
    EXPECT_TRUE(node(str("null"), Value()).isNull());
    EXPECT_TRUE(node(construct("String", {str("null")}), Value()).isNull());
    EXPECT_TRUE(node(str("Null"), Value()).isUndefined());
    EXPECT_TRUE(node(str("true"), Value()).boolean());
    EXPECT_EQ(text(node(str("string"), Value())), "undefined");
    EXPECT_EQ(vm().toNumber(node(str("number"), str(" -2.1"))), -2.1);
    EXPECT_TRUE(std::isnan(vm().toNumber(node(str("number"), str("Infinity")))));
    EXPECT_TRUE(call(ei, "_toAS", {str("null")}).isUndefined());
    EXPECT_EQ(vm().toNumber(vm().get(call(ei, "_arrayToAS", {str("x")}), "length")), 0);
}

}  // namespace
}  // namespace zd::avm1test
