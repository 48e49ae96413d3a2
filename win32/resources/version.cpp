// RT_VERSION: the VS_VERSIONINFO tree that VerQueryValue reads. Each node is
// a length, a value length, a type (1 text, 0 binary), a UTF-16 key, the value
// and child nodes, each part DWORD-aligned; the root holds the
// VS_FIXEDFILEINFO, its children the StringFileInfo tables and the
// VarFileInfo translations. Left out: VerQueryValue's path syntax; unknown
// blocks are skipped.
//
// A node must lie inside its parent and be at least a header long, so every
// step of the walk moves forward and stays inside the data.
#include "resources/byte_reader.h"
#include "resources/resources.h"

#include "core/text_encoding.h"

namespace win32::resources {

namespace {

constexpr uint32_t fixedInfoSignature = 0xFEEF04BD;
constexpr size_t fixedInfoSize = 52;
constexpr size_t nodeHeaderSize = 6;

struct Node {
    std::string key;
    uint16_t type = 0;
    const uint8_t* value = nullptr;
    size_t valueBytes = 0;
    size_t childrenStart = 0; // offsets from the start of the resource
    size_t end = 0;
};

size_t alignUp(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

bool readNode(const uint8_t* data, size_t offset, size_t limit, Node& node, std::string& problem)
{
    if (limit - offset < nodeHeaderSize) {
        problem = "a block header runs past the end of its parent";
        return false;
    }
    uint16_t length = readU16(data + offset);
    uint16_t valueLength = readU16(data + offset + 2);
    node.type = readU16(data + offset + 4);
    if (length < nodeHeaderSize || length > limit - offset) {
        problem = "a block of " + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
                  " does not fit in its parent (" + std::to_string(limit - offset) + " bytes left)";
        return false;
    }
    node.end = offset + length;
    ByteReader reader(data, node.end);
    reader.seek(offset + nodeHeaderSize);
    std::vector<uint16_t> key;
    if (!reader.utf16z(key)) {
        problem = "a block key runs past the end of its block";
        return false;
    }
    node.key = core::ansiFromUtf16(key.data(), key.size());
    reader.alignTo4();
    // Text values count UTF-16 units, binary values bytes.
    size_t wanted = node.type == 1 ? size_t{valueLength} * 2 : valueLength;
    if (wanted > reader.remaining()) {
        if (node.type != 1) {
            problem = "the value of '" + node.key + "' runs past the end of its block";
            return false;
        }
        // Resource compilers disagree on whether the count includes the
        // terminating NUL; a text value ends with its block at the latest.
        wanted = reader.remaining() & ~static_cast<size_t>(1);
    }
    node.value = reader.here();
    node.valueBytes = wanted;
    node.childrenStart = alignUp(reader.offset() + wanted);
    return true;
}

// Calls visit(child) for each child of `parent`; false when one is damaged.
template <typename Visit>
bool forEachChild(const uint8_t* data, const Node& parent, std::string& problem, Visit visit)
{
    for (size_t offset = parent.childrenStart; offset < parent.end;) {
        Node child;
        if (!readNode(data, offset, parent.end, child, problem))
            return false;
        if (!visit(child))
            return false;
        offset = alignUp(child.end);
    }
    return true;
}

std::string textValue(const Node& node)
{
    std::vector<uint16_t> units;
    for (size_t i = 0; i + 1 < node.valueBytes; i += 2) {
        uint16_t unit = readU16(node.value + i);
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    return core::ansiFromUtf16(units.data(), units.size());
}

} // namespace

std::optional<VersionInfo> parseVersion(const uint8_t* data, size_t size, std::string* error)
{
    VersionInfo info;
    Node root;
    std::string problem;
    if (!data || !readNode(data, 0, size, root, problem))
        return fail(error, problem.empty() ? "no data" : problem);
    if (root.key != "VS_VERSION_INFO")
        return fail(error, "the root block is '" + root.key + "', not 'VS_VERSION_INFO'");
    if (root.valueBytes != 0) {
        if (root.valueBytes < fixedInfoSize)
            return fail(error, "the fixed file information has " + std::to_string(root.valueBytes) + " bytes, not 52");
        const uint8_t* fixed = root.value;
        if (readU32(fixed) != fixedInfoSignature)
            return fail(error, "the fixed file information has a wrong signature");
        DWORD* fields[] = {&info.fileVersionMS, &info.fileVersionLS, &info.productVersionMS,
                           &info.productVersionLS, &info.fileFlagsMask, &info.fileFlags,
                           &info.fileOS, &info.fileType, &info.fileSubtype,
                           &info.fileDateMS, &info.fileDateLS};
        // Signature and structure version come first.
        for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i)
            *fields[i] = readU32(fixed + 8 + 4 * i);
    }

    bool ok = forEachChild(data, root, problem, [&](const Node& block) {
        if (block.key == "StringFileInfo") {
            return forEachChild(data, block, problem, [&](const Node& table) {
                VersionInfo::StringTable strings;
                strings.key = table.key;
                bool tableOk = forEachChild(data, table, problem, [&](const Node& entry) {
                    strings.entries.emplace_back(entry.key, textValue(entry));
                    return true;
                });
                info.stringTables.push_back(std::move(strings));
                return tableOk;
            });
        }
        if (block.key == "VarFileInfo") {
            return forEachChild(data, block, problem, [&](const Node& var) {
                if (var.key == "Translation")
                    for (size_t i = 0; i + 4 <= var.valueBytes; i += 4)
                        info.translations.push_back(readU32(var.value + i));
                return true;
            });
        }
        return true;
    });
    if (!ok)
        return fail(error, problem);
    return info;
}

} // namespace win32::resources
