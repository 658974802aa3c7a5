#include "engine/player/Dictionary.h"

#include "engine/swf/BitmapDecoder.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::engine {

namespace {

// A sprite may show at most this many frames (its count is 16-bit).
constexpr std::size_t kMaxSpriteFrames = 65535;

bool definesCharacter(TagCode code) {
    switch (code) {
        case TagCode::DefineShape:
        case TagCode::DefineShape2:
        case TagCode::DefineShape3:
        case TagCode::DefineShape4:
        case TagCode::DefineMorphShape:
        case TagCode::DefineMorphShape2:
        case TagCode::DefineSprite:
        case TagCode::DefineFont:
        case TagCode::DefineFont2:
        case TagCode::DefineFont3:
        case TagCode::DefineText:
        case TagCode::DefineText2:
        case TagCode::DefineEditText:
        case TagCode::DefineButton:
        case TagCode::DefineButton2:
        case TagCode::DefineVideoStream:
            return true;
        default:
            return isBitmapTag(static_cast<std::uint16_t>(code));
    }
}

}  // namespace

SpriteDefinition indexSprite(std::span<const std::uint8_t> data, std::size_t bodyOffset,
                             std::uint32_t length) {
    SpriteDefinition s;
    if (bodyOffset > data.size() || length < 4 || length > data.size() - bodyOffset) {
        return s;
    }
    const auto body = data.subspan(bodyOffset, length);
    s.byteLength = length - 4;
    s.frameCount = static_cast<std::uint16_t>(body[2] | body[3] << 8);
    TagWalker walker(body, 4);
    std::size_t frameBegin = 4;
    std::size_t tagsEnd = 4;  // past the last tag before End
    bool ended = false;
    while (auto tag = walker.next()) {
        const auto code = static_cast<TagCode>(tag->code);
        if (code == TagCode::End) {
            ended = true;
            break;
        }
        tagsEnd = tag->end();
        if (code == TagCode::ShowFrame) {
            if (s.frames.size() >= kMaxSpriteFrames) {
                break;
            }
            s.frames.push_back({bodyOffset + frameBegin, bodyOffset + tag->end()});
            frameBegin = tag->end();
        }
    }
    // Tags after the last ShowFrame still make a frame: it runs once and the sprite stays
    // there. A sprite cut short of its End never loops either.
    const bool partial = tagsEnd > frameBegin && s.frames.size() < kMaxSpriteFrames;
    if (partial) {
        s.frames.push_back({bodyOffset + frameBegin, bodyOffset + tagsEnd});
    }
    s.loops = ended && !partial;
    return s;
}

void Dictionary::update(std::span<const std::uint8_t> data, std::size_t firstTag, std::size_t to) {
    if (!started_) {
        firstTag_ = firstTag;
        next_ = firstTag;
        started_ = true;
    }
    to = std::min(to, data.size());
    if (next_ >= to) {
        return;
    }
    TagWalker walker(data.first(to), next_);
    while (auto tag = walker.next()) {
        next_ = tag->end();
        if (tag->code == static_cast<std::uint16_t>(TagCode::End)) {
            next_ = to;
            break;
        }
        indexTag(data, tag->code, tag->bodyOffset, tag->length);
    }
}

void Dictionary::indexTag(std::span<const std::uint8_t> data, std::uint16_t rawCode,
                          std::size_t body, std::uint32_t length) {
    const auto code = static_cast<TagCode>(rawCode);
    ByteReader in(data.subspan(body, length));
    if (definesCharacter(code)) {
        const std::uint16_t id = in.u16();
        // The first definition of an id holds; later ones are ignored.
        if (in.ok() && entries_.count(id) == 0) {
            entries_[id] = Entry{rawCode, body, length};
            if (code == TagCode::DefineFont || code == TagCode::DefineFont2 ||
                code == TagCode::DefineFont3) {
                fontIds_.push_back(id);
            }
        }
        return;
    }
    switch (code) {
        case TagCode::DefineFontInfo:
        case TagCode::DefineFontInfo2: {
            const std::uint16_t id = in.u16();
            auto& infos = fontInfos_[id];
            if (in.ok() && infos.size() < 4) {
                infos.push_back(Location{body + 2, length - 2, rawCode});
                parsed_.erase(id);
            }
            break;
        }
        case TagCode::DefineButtonCxform: {
            const std::uint16_t id = in.u16();
            if (in.ok()) {
                buttonCxforms_[id] = Location{body + 2, length - 2, rawCode};
                parsed_.erase(id);
            }
            break;
        }
        case TagCode::CSMTextSettings: {
            const std::uint16_t id = in.u16();
            if (in.ok()) {
                textSettings_[id] = Location{body + 2, length - 2, rawCode};
                parsed_.erase(id);
            }
            break;
        }
        case TagCode::JPEGTables:
            if (!jpegTables_) {
                jpegTables_ = Location{body, length, rawCode};
            }
            break;
        case TagCode::DefineScalingGrid: {
            const std::uint16_t id = in.u16();
            const Rect r = readRect(in);
            if (in.ok() && grids_.size() < 65536) {
                grids_[id] = r;
            }
            break;
        }
        case TagCode::ExportAssets: {
            const std::uint16_t count = in.u16();
            for (unsigned i = 0; i < count && in.ok() && exports_.size() < 65536; ++i) {
                const std::uint16_t id = in.u16();
                std::string name = in.cstring();
                if (in.ok()) {
                    exports_.insert_or_assign(std::move(name), id);  // a later export wins
                }
            }
            break;
        }
        case TagCode::Protect:
            protected_ = true;
            break;
        case TagCode::FileAttributes: {
            const std::uint8_t flags = in.u8();
            useNetwork_ = in.ok() && (flags & 0x01);
            break;
        }
        default:
            break;
    }
}

std::span<const std::uint8_t> Dictionary::jpegTables(std::span<const std::uint8_t> data) const {
    if (!jpegTables_ || jpegTables_->body + jpegTables_->length > data.size()) {
        return {};
    }
    return data.subspan(jpegTables_->body, jpegTables_->length);
}

CharacterPtr Dictionary::get(std::uint16_t id, std::span<const std::uint8_t> data) {
    if (auto it = parsed_.find(id); it != parsed_.end()) {
        return it->second;
    }
    const auto entry = entries_.find(id);
    if (entry == entries_.end() || entry->second.body + entry->second.length > data.size()) {
        return nullptr;
    }
    CharacterPtr c = parse(id, entry->second, data);
    parsed_[id] = c;
    return c;
}

CharacterPtr Dictionary::parse(std::uint16_t id, const Entry& e,
                               std::span<const std::uint8_t> data) {
    auto c = std::make_shared<Character>();
    c->id = id;
    const auto tagBody = data.subspan(e.body, e.length);
    ByteReader in(tagBody.subspan(2));
    switch (static_cast<TagCode>(e.code)) {
        case TagCode::DefineShape:
            c->def = parseShape(in, 1);
            break;
        case TagCode::DefineShape2:
            c->def = parseShape(in, 2);
            break;
        case TagCode::DefineShape3:
            c->def = parseShape(in, 3);
            break;
        case TagCode::DefineShape4:
            c->def = parseShape(in, 4);
            break;
        case TagCode::DefineMorphShape:
            c->kind = Character::Kind::Morph;
            c->def = parseMorphShape(in, 1);
            break;
        case TagCode::DefineMorphShape2:
            c->kind = Character::Kind::Morph;
            c->def = parseMorphShape(in, 2);
            break;
        case TagCode::DefineSprite:
            c->kind = Character::Kind::Sprite;
            c->def = indexSprite(data, e.body, e.length);
            break;
        case TagCode::DefineFont:
        case TagCode::DefineFont2:
        case TagCode::DefineFont3: {
            c->kind = Character::Kind::Font;
            const int version = e.code == static_cast<std::uint16_t>(TagCode::DefineFont)    ? 1
                                : e.code == static_cast<std::uint16_t>(TagCode::DefineFont2) ? 2
                                                                                             : 3;
            FontDefinition font = parseFont(in, version);
            if (auto infos = fontInfos_.find(id); infos != fontInfos_.end()) {
                for (const Location& info : infos->second) {
                    ByteReader r(data.subspan(info.body, info.length));
                    parseFontInfo(
                        r,
                        info.code == static_cast<std::uint16_t>(TagCode::DefineFontInfo2) ? 2 : 1,
                        font);
                }
            }
            c->def = std::move(font);
            break;
        }
        case TagCode::DefineText:
        case TagCode::DefineText2: {
            c->kind = Character::Kind::Text;
            TextDefinition text =
                parseText(in, e.code == static_cast<std::uint16_t>(TagCode::DefineText) ? 1 : 2);
            if (auto ts = textSettings_.find(id); ts != textSettings_.end()) {
                ByteReader r(data.subspan(ts->second.body, ts->second.length));
                const std::uint8_t flags = r.u8();
                text.advancedAntiAlias = r.ok() && (flags >> 6) == 1;
            }
            c->def = std::move(text);
            break;
        }
        case TagCode::DefineEditText: {
            c->kind = Character::Kind::EditText;
            EditTextDefinition edit = parseEditText(in);
            if (auto ts = textSettings_.find(id); ts != textSettings_.end()) {
                ByteReader r(data.subspan(ts->second.body, ts->second.length));
                parseTextSettings(r, edit);
            }
            c->def = std::move(edit);
            break;
        }
        case TagCode::DefineButton:
        case TagCode::DefineButton2: {
            c->kind = Character::Kind::Button;
            ButtonDefinition b = parseButton(
                in, e.code == static_cast<std::uint16_t>(TagCode::DefineButton) ? 1 : 2);
            if (auto cx = buttonCxforms_.find(id); cx != buttonCxforms_.end()) {
                ByteReader r(data.subspan(cx->second.body, cx->second.length));
                const ColorTransform t = readColorTransform(r, false);
                if (r.ok()) {
                    b.colorTransform = t;
                }
            }
            c->def = std::move(b);
            break;
        }
        case TagCode::DefineVideoStream: {
            c->kind = Character::Kind::Video;
            VideoStreamDefinition stream;
            stream.id = id;
            c->def = parseDefineVideoStream(tagBody).value_or(stream);
            break;
        }
        default:
            c->kind = Character::Kind::Bitmap;
            c->def = BitmapTag{e.code, std::vector<std::uint8_t>(tagBody.begin(), tagBody.end())};
            break;
    }
    return c;
}

}  // namespace zd::engine
