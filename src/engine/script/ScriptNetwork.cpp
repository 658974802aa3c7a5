// Loads a movie's scripts ask of the network: each is a DataFetch the tick looks at.

#include <QNetworkAccessManager>

#include "engine/player/DataFetch.h"
#include "engine/script/ScriptHost.h"

namespace zd::script {

std::optional<QUrl> ScriptHost::webAddress(std::string_view url, const std::string& base) {
    const auto isWeb = [](const QUrl& u) {
        const QString scheme = u.scheme().toLower();
        return u.isValid() && (scheme == u"http" || scheme == u"https") && !u.host().isEmpty();
    };
    const QUrl asked(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
    if (isWeb(asked)) {
        return asked;
    }
    const QUrl baseUrl(QString::fromStdString(base));
    if (!url.empty() && asked.isValid() && asked.scheme().isEmpty() && isWeb(baseUrl)) {
        const QUrl resolved = baseUrl.resolved(asked);
        if (isWeb(resolved)) {
            return resolved;
        }
    }
    return std::nullopt;
}

std::optional<QUrl> ScriptHost::networkAddress(std::string_view url) const {
    if (!networkLoads_) {
        return std::nullopt;
    }
    return webAddress(url, baseUrl_);
}

bool ScriptHost::startFetch(std::uint64_t requestId, std::string_view url) {
    const auto address = networkAddress(url);
    if (!address) {
        return false;
    }
    if (network_ == nullptr) {
        network_ = std::make_unique<QNetworkAccessManager>();
    }
    fetches_[requestId].fetch =
        std::make_unique<engine::DataFetch>(*network_, *address, kMaxNetworkLoad);
    return true;
}

void ScriptHost::cancelLoad(std::uint64_t requestId) {
    // Deleting the fetch here is safe: the tick never runs inside one of its signals.
    fetches_.erase(requestId);
    std::erase_if(loads_, [requestId](const PendingLoad& l) {
        return l.id == requestId && l.movie == PendingLoad::Movie::None &&
               l.variablesTarget == avm1::kNoDisplay;
    });
}

void ScriptHost::pollFetches() {
    // Handlers may start loads (entries are added, never taken) or cancel them: the ids are
    // taken first and each looked up again.
    std::vector<std::uint64_t> ids;
    ids.reserve(fetches_.size());
    for (const auto& [id, f] : fetches_) {
        ids.push_back(id);
    }
    for (const std::uint64_t id : ids) {
        auto it = fetches_.find(id);
        if (it == fetches_.end()) {
            continue;
        }
        const engine::DataFetch& fetch = *it->second.fetch;
        if (fetch.state() == engine::DataFetch::State::Loading) {
            if (fetch.bytes().size() > it->second.told) {
                it->second.told = fetch.bytes().size();
                vm_->deliverProgress(id, fetch.bytes(),
                                     static_cast<std::size_t>(fetch.bytesTotal()));
            }
            continue;
        }
        PendingLoad load;
        load.id = id;
        load.ok = fetch.state() == engine::DataFetch::State::Done;
        if (load.ok) {
            load.data = fetch.bytes();
        }
        fetches_.erase(it);
        loads_.push_back(std::move(load));
    }
}

}  // namespace zd::script
