// flash.net.FileReference and FileReferenceList: files the user picks in a dialog, sent to a
// server or brought from one. Scripts never learn where a file is: the host keeps the paths
// and hands out handles, so a movie can only upload what the user picked and only download to
// where the user chose. Every stage of a request reaches the object's listeners.

#include <cmath>
#include <string>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

// Type lists longer than this are refused rather than walked.
constexpr std::uint32_t kMaxFilters = 1024;

class FileRefObject final : public Object {
  public:
    explicit FileRefObject(Object* proto) : Object(proto) {}
    std::uint64_t request = 0;  // the dialog or transfer under way (0: none)
    bool known = false;         // a file was picked or chosen: the properties answer
    lib::FileFacts facts;
    std::size_t footprint() const override { return sizeof(*this) + facts.name.size(); }
};

class FileListObject final : public Object {
  public:
    explicit FileListObject(Object* proto) : Object(proto) {}
    std::uint64_t request = 0;
};

Object* allocateFileRef(Vm& vm, Object* proto) {
    return vm.heap().make<FileRefObject>(proto);
}

Object* allocateFileList(Vm& vm, Object* proto) {
    return vm.heap().make<FileListObject>(proto);
}

FileRefObject* fileRefOf(const CallInfo& c) {
    return dynamic_cast<FileRefObject*>(c.thisObject());
}

FileListObject* fileListOf(const CallInfo& c) {
    return dynamic_cast<FileListObject*>(c.thisObject());
}

// Both classes are broadcasters with a listener list of their own.
Value construct(Vm& vm, const CallInfo& c) {
    if (Object* self = c.thisObject()) {
        vm.define(self, "_listeners", Value(vm.newArray()), kDontEnum);
    }
    return c.thisValue;
}

// An own field of a filter object: a getter runs, and one that throws counts as no field.
// Fields the object only inherits do not count.
std::optional<Value> ownField(Vm& vm, Object* o, std::string_view name) {
    String* key = vm.intern(name);
    if (!vm.has(o, key, true)) {
        return std::nullopt;
    }
    try {
        const Value v = vm.get(Value(o), key);
        if (v.isUndefined()) {
            return std::nullopt;
        }
        return v;
    } catch (const ScriptException&) {
        return std::nullopt;
    }
}

// The type list browse takes: none at all (every file), or a non-empty array of objects each
// with a non-empty description and extension of its own. Converting a field to text may
// throw, and that throw leaves browse.
bool readFilters(Vm& vm, const CallInfo& c, std::vector<Host::FileFilter>& out) {
    if (c.count() == 0) {
        return true;
    }
    Object* list = c.arg(0).asObject();
    if (list == nullptr) {
        return false;
    }
    const std::uint32_t n = lib::lengthOf(vm, list);
    if (n == 0 || n > kMaxFilters) {
        return false;
    }
    const Vm::NoCollect hold(vm);
    for (std::uint32_t i = 0; i < n; ++i) {
        vm.step();
        Object* filter = lib::elementAt(vm, list, i).asObject();
        if (filter == nullptr) {
            return false;
        }
        const auto description = ownField(vm, filter, "description");
        if (!description) {
            return false;
        }
        Host::FileFilter f;
        f.description = vm.toStdString(*description);
        const auto extension = ownField(vm, filter, "extension");
        if (!extension) {
            return false;
        }
        f.extensions = vm.toStdString(*extension);
        // The Mac type list is read as text too, though only Mac dialogs would use it.
        if (const auto macType = ownField(vm, filter, "macType")) {
            vm.toString(*macType);
        }
        if (f.description.empty() || f.extensions.empty()) {
            return false;
        }
        out.push_back(std::move(f));
    }
    return true;
}

// Starts a request through the host; false (and nothing pending) when the host refuses.
template <typename Start>
bool startRequest(Vm& vm, Object* owner, std::uint64_t& request, Start start) {
    if (request != 0) {
        return false;  // one dialog or transfer at a time
    }
    const std::uint64_t id = vm.requestFile(owner);
    if (!start(id)) {
        vm.forgetFile(id);
        return false;
    }
    request = id;
    return true;
}

Value browse(Vm& vm, const CallInfo& c) {
    FileRefObject* f = fileRefOf(c);
    if (f == nullptr) {
        return Value::boolean(false);
    }
    std::vector<Host::FileFilter> filters;
    if (!readFilters(vm, c, filters)) {
        return Value::boolean(false);
    }
    return Value::boolean(startRequest(vm, f, f->request, [&](std::uint64_t id) {
        return vm.host().browseFiles(id, filters, false);
    }));
}

// download(url, defaultName): the address is checked by the host; a missing one fails.
Value download(Vm& vm, const CallInfo& c) {
    FileRefObject* f = fileRefOf(c);
    if (f == nullptr || c.arg(0).isNullish()) {
        return Value::boolean(false);
    }
    const std::string url = vm.toStdString(c.arg(0));
    const std::string name = c.arg(1).isNullish() ? std::string() : vm.toStdString(c.arg(1));
    return Value::boolean(startRequest(vm, f, f->request, [&](std::uint64_t id) {
        return vm.host().downloadFile(id, url, name);
    }));
}

// upload(url, fieldName): only a file the user picked goes, under "Filedata" by default.
Value upload(Vm& vm, const CallInfo& c) {
    FileRefObject* f = fileRefOf(c);
    if (f == nullptr || f->facts.handle == 0 || c.arg(0).isNullish()) {
        return Value::boolean(false);
    }
    const std::string url = vm.toStdString(c.arg(0));
    std::string field = c.arg(1).isNullish() ? std::string() : vm.toStdString(c.arg(1));
    if (field.empty()) {
        field = "Filedata";
    }
    const std::uint64_t file = f->facts.handle;
    return Value::boolean(startRequest(vm, f, f->request, [&](std::uint64_t id) {
        return vm.host().uploadFile(id, file, url, field);
    }));
}

Value cancel(Vm& vm, const CallInfo& c) {
    if (FileRefObject* f = fileRefOf(c); f != nullptr && f->request != 0) {
        vm.forgetFile(f->request);
        vm.host().cancelFile(f->request);
        f->request = 0;
    }
    return Value();
}

Value listBrowse(Vm& vm, const CallInfo& c) {
    FileListObject* l = fileListOf(c);
    if (l == nullptr) {
        return Value::boolean(false);
    }
    std::vector<Host::FileFilter> filters;
    if (!readFilters(vm, c, filters)) {
        return Value::boolean(false);
    }
    return Value::boolean(startRequest(vm, l, l->request, [&](std::uint64_t id) {
        return vm.host().browseFiles(id, filters, true);
    }));
}

// --- The properties: undefined until a file was picked or chosen ---

const lib::FileFacts* factsOf(const CallInfo& c) {
    const FileRefObject* f = fileRefOf(c);
    return f != nullptr && f->known ? &f->facts : nullptr;
}

Value numberOrUndefined(double d) {
    return std::isnan(d) ? Value() : Value(d);
}

Value dateOrUndefined(Vm& vm, double ms) {
    if (std::isnan(ms)) {
        return Value();
    }
    const Value arg(ms);
    return vm.construct(vm.get(Value(vm.global()), "Date"), std::span<const Value>(&arg, 1));
}

Value getName(Vm& vm, const CallInfo& c) {
    const auto* facts = factsOf(c);
    return facts != nullptr ? Value(vm.str(facts->name)) : Value();
}

Value getSize(Vm&, const CallInfo& c) {
    const auto* facts = factsOf(c);
    return facts != nullptr ? numberOrUndefined(facts->size) : Value();
}

// The extension with its dot, as Windows reports a file's type.
Value getType(Vm& vm, const CallInfo& c) {
    const auto* facts = factsOf(c);
    if (facts == nullptr) {
        return Value();
    }
    const std::size_t dot = facts->name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return Value();
    }
    return Value(vm.str(facts->name.substr(dot)));
}

// A Mac file's creator code: no file here has one.
Value getCreator(Vm&, const CallInfo&) {
    return Value();
}

Value getCreationDate(Vm& vm, const CallInfo& c) {
    const auto* facts = factsOf(c);
    return facts != nullptr ? dateOrUndefined(vm, facts->created) : Value();
}

Value getModificationDate(Vm& vm, const CallInfo& c) {
    const auto* facts = factsOf(c);
    return facts != nullptr ? dateOrUndefined(vm, facts->modified) : Value();
}

const char* eventName(lib::FileEvent::Kind k) {
    using Kind = lib::FileEvent::Kind;
    switch (k) {
        case Kind::Select:
            return "onSelect";
        case Kind::Cancel:
            return "onCancel";
        case Kind::Open:
            return "onOpen";
        case Kind::Progress:
            return "onProgress";
        case Kind::Complete:
            return "onComplete";
        case Kind::HttpError:
            return "onHTTPError";
        case Kind::IoError:
            return "onIOError";
        case Kind::SecurityError:
            return "onSecurityError";
    }
    return "";
}

void learn(FileRefObject* f, const lib::FileFacts& facts) {
    f->facts = facts;
    f->known = true;
}

// The list's fileList: a FileReference for each file picked.
void fillFileList(Vm& vm, FileListObject* l, const std::vector<lib::FileFacts>& files) {
    const Vm::NoCollect hold(vm);
    const Value ctor = vm.get(Value(lib::packageObject(vm, "flash.net")), "FileReference");
    std::vector<Value> items;
    for (const lib::FileFacts& facts : files) {
        const Value item = vm.construct(ctor, {});
        if (auto* f = dynamic_cast<FileRefObject*>(item.asObject())) {
            learn(f, facts);
        }
        items.push_back(item);
    }
    vm.set(Value(l), "fileList", Value(vm.newArray(items)));
}

}  // namespace

namespace lib {

void installFileReference(Vm& vm) {
    Object* net = packageObject(vm, "flash.net");
    Object* broadcaster = vm.get(Value(vm.global()), "AsBroadcaster").asObject();
    const auto addBroadcasting = [&](Object* proto) {
        for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
            vm.define(proto, name,
                      broadcaster != nullptr ? vm.get(Value(broadcaster), name) : Value());
        }
    };

    Object* proto = vm.newObject(vm.protos().object);
    vm.define(net, "FileReference", Value(defineClass(vm, "", construct, proto, allocateFileRef)));
    addBroadcasting(proto);
    vm.defineNative(proto, "browse", browse);
    vm.defineNative(proto, "download", download);
    vm.defineNative(proto, "upload", upload);
    vm.defineNative(proto, "cancel", cancel);
    vm.defineAccessor(proto, "creationDate", getCreationDate, nullptr);
    vm.defineAccessor(proto, "creator", getCreator, nullptr);
    vm.defineAccessor(proto, "modificationDate", getModificationDate, nullptr);
    vm.defineAccessor(proto, "name", getName, nullptr);
    vm.defineAccessor(proto, "size", getSize, nullptr);
    vm.defineAccessor(proto, "type", getType, nullptr);

    Object* listProto = vm.newObject(vm.protos().object);
    vm.define(net, "FileReferenceList",
              Value(defineClass(vm, "", construct, listProto, allocateFileList)));
    addBroadcasting(listProto);
    vm.defineNative(listProto, "browse", listBrowse);
}

void fileEvent(Vm& vm, std::uint64_t id, const FileEvent& event) {
    Object* owner = vm.fileOwner(id);
    if (owner == nullptr) {
        return;
    }
    vm.addRoot(owner);
    if (event.last) {
        vm.forgetFile(id);
    }
    auto* file = dynamic_cast<FileRefObject*>(owner);
    auto* list = dynamic_cast<FileListObject*>(owner);
    if (file != nullptr) {
        if (event.last && file->request == id) {
            file->request = 0;
        }
        if (!event.files.empty()) {
            learn(file, event.files.front());
        }
    } else if (list != nullptr) {
        if (event.last && list->request == id) {
            list->request = 0;
        }
        if (event.kind == FileEvent::Kind::Select) {
            fillFileList(vm, list, event.files);
        }
    }
    const Value fn = vm.tickExhausted() ? Value() : vm.get(Value(owner), "broadcastMessage");
    if (fn.isObject() && fn.object()->isFunction()) {
        // The values below are reachable from the call once it runs.
        std::vector<Value> args{Value(vm.str(std::string_view(eventName(event.kind)))),
                                Value(owner)};
        if (event.kind == FileEvent::Kind::Progress) {
            args.emplace_back(event.loaded);
            args.emplace_back(event.total);
        } else if (event.kind == FileEvent::Kind::HttpError) {
            args.emplace_back(static_cast<double>(event.httpStatus));
        } else if (event.kind == FileEvent::Kind::SecurityError) {
            args.emplace_back(vm.str(std::string_view("securitySandboxError")));
        }
        vm.callFromHost(fn, Value(owner), args);
    }
    vm.removeRoot(owner);
}

}  // namespace lib
}  // namespace zd::avm1
