// AMF0 as stored shared objects and remote calls write it, remote answers reaching their
// responders, and XMLSocket messages over a recorded peer.

#include <gtest/gtest.h>

#include <map>

#include "Avm1TestSupport.h"
#include "engine/avm1/Library.h"
#include "engine/script/ScriptedSocket.h"

namespace zd::avm1test {
namespace {

using avm1::Value;
using avm1::Vm;

// The stand-in player, keeping what scripts post and the sockets they open.
class RecordingHost final : public avm1trace::TraceHost {
  public:
    using TraceHost::TraceHost;
    struct Post {
        std::uint64_t id;
        std::string url;
        std::string contentType;
        std::string body;
    };
    std::vector<Post> posts;
    std::map<std::uint64_t, std::string> sent;  // bytes sent per open socket
    std::vector<std::uint64_t> closed;

    void postData(std::uint64_t id, std::string_view url, std::string_view contentType,
                  std::string_view body) override {
        posts.push_back({id, std::string(url), std::string(contentType), std::string(body)});
    }
    bool openSocket(std::uint64_t id, std::string_view, int) override {
        sent[id];
        return true;
    }
    void socketSend(std::uint64_t id, std::string_view bytes) override { sent[id] += bytes; }
    void closeSocket(std::uint64_t id) override { closed.push_back(id); }
};

class Peers : public ::testing::Test {
  protected:
    explicit Peers(int version = 8)
        : movie_(avm1trace::movieOf(version, {ActionWriter().bytes()})),
          host_(movie_),
          vm_(host_, version) {
        host_.attachVm(&vm_);
    }

    Vm& vm() { return vm_; }
    Value global(const char* name) { return vm_.get(Value(vm_.global()), name); }
    Value str(std::string_view s) { return Value(vm_.str(s)); }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return vm_.call(vm_.get(self, method), self, args);
    }
    Value construct(const char* cls, std::vector<Value> args = {}) {
        return vm_.construct(global(cls), args);
    }
    // A class of its own: a function with a fresh prototype.
    Value makeClass() {
        const Value f =
            Value(vm_.newNative([](Vm&, const avm1::CallInfo& c) { return c.thisValue; },
                                vm_.newObject(vm_.protos().object)));
        vm_.set(f, "prototype", Value(vm_.newObject(vm_.protos().object)));
        return f;
    }
    // A function that keeps its first argument (or "none") in _global.log, in call order.
    Value recorder(const char* tag) {
        avm1::FunctionObject* f = vm_.newNative([](Vm& vm, const avm1::CallInfo& c) {
            const Value log = vm.get(Value(vm.global()), "log");
            std::string line = vm.toStdString(c.callee->data) + ":";
            line += c.count() == 0 ? std::string("none") : vm.toStdString(c.arg(0));
            vm.set(Value(vm.global()), "log",
                   Value(vm.str(log.isUndefined() ? line : vm.toStdString(log) + "|" + line)));
            return Value();
        });
        f->data = str(tag);
        return Value(f);
    }
    std::string log() {
        const Value l = global("log");
        return l.isUndefined() ? std::string() : vm_.toStdString(l);
    }

    avm1trace::ScriptedMovie movie_;
    RecordingHost host_;
    Vm vm_;
};

std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

// The AMF0 text marker and its length.
std::string amfName(std::string_view s) {
    return bytes({0, static_cast<int>(s.size())}) + std::string(s);
}

TEST_F(Peers, RemoteCallsGoTogetherWithStrictArraysAndTypedObjects) {
    const Value cls = makeClass();
    call(global("Object"), "registerClass", {str("a.Point"), cls});
    const Value point = vm().construct(cls, {});
    vm().set(point, "x", Value(1.0));
    const Value dense = construct("Array", {str("p")});
    const Value mixed = construct("Array", {str("q")});
    vm().set(mixed, "extra", Value::boolean(true));
    const Value nc = construct("NetConnection");
    call(nc, "connect", {str("http://host/gateway")});
    call(nc, "addHeader", {str("h"), Value::boolean(true), Value(2.0)});
    call(nc, "call", {str("svc.one"), Value::null(), point, dense});
    call(nc, "call", {str("svc.two"), Value::null(), mixed});
    EXPECT_TRUE(host_.posts.empty());  // nothing leaves while scripts run
    vm().runDeferred();
    ASSERT_EQ(host_.posts.size(), 1u);
    EXPECT_EQ(host_.posts[0].url, "http://host/gateway");
    EXPECT_EQ(host_.posts[0].contentType, "application/x-amf");
    const std::string one = bytes({0x0A, 0, 0, 0, 2, 0x10}) + amfName("a.Point") + amfName("x") +
                            bytes({0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 9}) +
                            bytes({0x0A, 0, 0, 0, 1, 2}) + amfName("p");
    const std::string two = bytes({0x0A, 0, 0, 0, 1, 0x08, 0, 0, 0, 1}) + amfName("0") +
                            bytes({2}) + amfName("q") + amfName("extra") + bytes({1, 1, 0, 0, 9});
    const std::string expected =
        bytes({0, 0, 0, 1}) + amfName("h") + bytes({1, 0, 0, 0, 9, 0, 0x40, 0, 0, 0, 0, 0, 0, 0}) +
        bytes({0, 2}) + amfName("svc.one") + amfName("/1") +
        bytes({0, 0, 0, static_cast<int>(one.size())}) + one + amfName("svc.two") + amfName("/2") +
        bytes({0, 0, 0, static_cast<int>(two.size())}) + two;
    EXPECT_EQ(host_.posts[0].body, expected);
    // Sent once: nothing is left to go.
    vm().runDeferred();
    EXPECT_EQ(host_.posts.size(), 1u);
}

TEST_F(Peers, AnswersReachTheirRespondersAndAFailureTheConnection) {
    const Value nc = construct("NetConnection");
    vm().set(nc, "onStatus", recorder("status"));
    call(nc, "connect", {str("http://host/")});
    const Value first = construct("Object");
    vm().set(first, "onResult", recorder("first"));
    const Value second = construct("Object");
    vm().set(second, "onStatus", recorder("second"));
    call(nc, "call", {str("a"), first});
    call(nc, "call", {str("b"), second});
    vm().runDeferred();
    ASSERT_EQ(host_.posts.size(), 1u);
    // Answered in the other order, with a header nobody sees and a message for no call.
    const std::string answer = bytes({0, 0, 0, 1}) + amfName("x") + bytes({0, 0, 0, 0, 1, 5}) +
                               bytes({0, 3}) + amfName("/2/onStatus") + amfName("") +
                               bytes({0, 0, 0, 3, 2}) + amfName("s") + amfName("/9/onResult") +
                               amfName("") + bytes({0, 0, 0, 1, 5}) + amfName("/1/onResult") +
                               amfName("") + bytes({0, 0, 0, 3, 2}) + amfName("r");
    vm().deliverLoad(host_.posts[0].id, true, answer);
    EXPECT_EQ(log(), "second:s|first:r");
    call(nc, "call", {str("c"), first});
    vm().runDeferred();
    ASSERT_EQ(host_.posts.size(), 2u);
    vm().deliverLoad(host_.posts[1].id, false, "");
    EXPECT_EQ(log(), "second:s|first:r|status:none");
    // A cut answer never reads past its end.
    for (std::size_t n = 0; n < answer.size(); ++n) {
        call(nc, "call", {str("d"), first});
        vm().runDeferred();
        vm().deliverLoad(host_.posts.back().id, true, answer.substr(0, n));
    }
}

TEST_F(Peers, StoredDataKeepsClassesAndReadsWhatEarlierVersionsWrote) {
    const Value cls = makeClass();
    call(global("Object"), "registerClass", {str("Saved"), cls});
    const Value item = vm().construct(cls, {});
    vm().set(item, "n", Value(3.0));
    avm1::Object* data = vm().newObject(vm().protos().object);
    vm().set(Value(data), "item", item);
    vm().set(Value(data), "list", construct("Array", {Value(1.0), Value(2.0)}));
    vm().set(Value(data), "skip", global("Object"));  // functions are not stored
    const std::string file = avm1::lib::encodeSharedObject(vm(), "s", data);
    EXPECT_NE(file.find(bytes({0x10}) + amfName("Saved")), std::string::npos);
    EXPECT_EQ(file.find("skip"), std::string::npos);
    // Stored arrays stay ECMA arrays (the layout earlier versions read).
    EXPECT_NE(file.find(bytes({0x08, 0, 0, 0, 2}) + amfName("0")), std::string::npos);
    avm1::Object* back = vm().newObject(vm().protos().object);
    ASSERT_TRUE(avm1::lib::decodeSharedObject(vm(), file, back));
    const Value restored = vm().get(Value(back), "item");
    EXPECT_TRUE(vm().instanceOf(restored, cls.object()));
    EXPECT_EQ(vm().toNumber(vm().get(restored, "n")), 3);

    // The marker with the six bytes after it, as the layout has them.
    EXPECT_EQ(file.substr(6, 10), std::string("TCSO\0\x04\0\0\0\0", 10));
    // A file as earlier versions of this player wrote it: the marker alone, an object and an
    // array.
    const std::string body = std::string("TCSO") + amfName("old") + bytes({0, 0, 0, 0}) +
                             amfName("o") + bytes({3}) + amfName("k") + bytes({2}) + amfName("v") +
                             bytes({0, 0, 9, 0}) + amfName("a") + bytes({8, 0, 0, 0, 2}) +
                             amfName("0") + bytes({2}) + amfName("x") + amfName("1") +
                             bytes({1, 1, 0, 0, 9, 0});
    const std::string old = bytes({0, 0xBF, 0, 0, 0, static_cast<int>(body.size())}) + body;
    avm1::Object* fromOld = vm().newObject(vm().protos().object);
    ASSERT_TRUE(avm1::lib::decodeSharedObject(vm(), old, fromOld));
    EXPECT_EQ(vm().toStdString(vm().get(vm().get(Value(fromOld), "o"), "k")), "v");
    EXPECT_EQ(vm().toStdString(vm().get(Value(fromOld), "a")), "x,true");
}

TEST_F(Peers, AccessorsAreNotRunAndTheLatestAliasWins) {
    const Value cls = makeClass();
    call(global("Object"), "registerClass", {str("First"), cls});
    call(global("Object"), "registerClass", {str("Second"), cls});
    const Value o = vm().construct(cls, {});
    call(o, "addProperty", {str("g"), recorder("getter"), Value::null()});
    avm1::Object* data = vm().newObject(vm().protos().object);
    vm().set(Value(data), "o", o);
    const std::string file = avm1::lib::encodeSharedObject(vm(), "s", data);
    EXPECT_NE(file.find(bytes({0x10}) + amfName("Second") + amfName("g") + bytes({6})),
              std::string::npos);
    EXPECT_EQ(log(), "");
    // An object whose constructor only comes through its prototype is not typed.
    const Value plain = construct("Object");
    avm1::Object* p = plain.object();
    p->setProtoLink(vm().get(cls, "prototype").asObject());
    vm().set(Value(data), "o", plain);
    EXPECT_EQ(avm1::lib::encodeSharedObject(vm(), "s", data).find("Second"), std::string::npos);
}

class Swf6Peers : public Peers {
  protected:
    Swf6Peers() : Peers(6) {}
};

TEST_F(Swf6Peers, AliasesDifferingInCaseAreOneAndKeepTheLatestSpelling) {
    const Value a = makeClass();
    const Value b = makeClass();
    call(global("Object"), "registerClass", {str("alias"), a});
    call(global("Object"), "registerClass", {str("ALIAS"), b});
    avm1::Object* data = vm().newObject(vm().protos().object);
    vm().set(Value(data), "a", vm().construct(a, {}));
    vm().set(Value(data), "b", vm().construct(b, {}));
    const std::string file = avm1::lib::encodeSharedObject(vm(), "s", data);
    EXPECT_EQ(file.find(bytes({0x10}) + amfName("alias")), std::string::npos);
    EXPECT_NE(file.find(bytes({0x10}) + amfName("ALIAS")), std::string::npos);
}

TEST_F(Peers, SocketMessagesEndAtZeroAndStopWhenAHandlerCloses) {
    const Value socket = construct("XMLSocket");
    vm().set(socket, "onData", recorder("data"));
    vm().set(socket, "onClose", recorder("close"));
    vm().set(socket, "onConnect", recorder("connect"));
    EXPECT_TRUE(call(socket, "connect", {Value::null(), Value(2000.0)}).boolean());
    ASSERT_EQ(host_.sent.size(), 1u);
    const std::uint64_t id = host_.sent.begin()->first;
    call(socket, "send", {str("hi")});
    EXPECT_EQ(host_.sent[id], std::string("hi\0", 3));
    avm1::lib::socketConnected(vm(), id, true);
    avm1::lib::socketReceived(vm(), id, std::string("\0a", 2));
    avm1::lib::socketReceived(vm(), id, std::string("b\0c", 3));
    EXPECT_EQ(log(), "connect:true|data:|data:ab");
    avm1::lib::socketClosed(vm(), id);
    EXPECT_EQ(log(), "connect:true|data:|data:ab|close:none");
    // Gone: late news of it is ignored, and sending does nothing.
    avm1::lib::socketReceived(vm(), id, std::string("x\0", 2));
    call(socket, "send", {str("late")});
    EXPECT_EQ(host_.sent[id], std::string("hi\0", 3));

    // A handler that closes the socket gets no more of what arrived with its message.
    vm().set(Value(vm().global()), "log", Value());
    call(socket, "connect", {str("localhost"), Value(2000.0)});
    const std::uint64_t second = host_.sent.rbegin()->first;
    ASSERT_NE(second, id);
    vm().set(socket, "onData", Value(vm().newNative([](Vm& vm, const avm1::CallInfo& c) {
                 vm.set(Value(vm.global()), "log", c.arg(0));
                 return vm.call(vm.get(c.thisValue, "close"), c.thisValue, {});
             })));
    avm1::lib::socketReceived(vm(), second, std::string("one\0two\0", 8));
    EXPECT_EQ(log(), "one");
    ASSERT_FALSE(host_.closed.empty());
    EXPECT_EQ(host_.closed.back(), second);
}

TEST(ScriptedSocket, PlaysTheRecordedSessionInOrder) {
    std::vector<script::SocketStep> steps;
    ASSERT_TRUE(script::readSocketScript(
        R"([{"type": "Receive", "expected": [104, 0]}, {"type": "Send", "payload": [111, 0]},
            {"type": "WaitForDisconnect"}, {"type": "Send", "payload": [33]}])",
        steps));
    ASSERT_EQ(steps.size(), 4u);
    script::ScriptedSocket peer(steps);
    EXPECT_EQ(peer.poll().connected, std::optional<bool>(true));
    // Waits for the movie's bytes, which may come in parts.
    EXPECT_EQ(peer.poll().received, "");
    peer.send("h");
    EXPECT_EQ(peer.poll().received, "");
    peer.send(std::string("\0", 1));
    EXPECT_EQ(peer.poll().received, std::string("o\0", 2));
    EXPECT_FALSE(peer.finished());
    peer.close();
    EXPECT_EQ(peer.poll().received, "!");
    EXPECT_TRUE(peer.finished());

    EXPECT_FALSE(script::readSocketScript(R"([{"type": "Send", "payload": [256]}])", steps));
    EXPECT_FALSE(script::readSocketScript(R"([{"type": "Dance"}])", steps));
    EXPECT_FALSE(script::readSocketScript("{}", steps));
}

TEST(ScriptedSocket, BytesOtherThanRecordedEndTheSession) {
    script::ScriptedSocket peer(
        {{script::SocketStep::Kind::Receive, "ab"}, {script::SocketStep::Kind::Send, "never"}});
    peer.poll();
    peer.send("xy");
    const auto e = peer.poll();
    EXPECT_TRUE(e.closed);
    EXPECT_EQ(e.received, "");
}

}  // namespace
}  // namespace zd::avm1test
