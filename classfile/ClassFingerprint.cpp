#include "ClassFingerprint.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <openssl/evp.h>

#include "ByteReader.h"
#include "ConstantPool.h"

namespace
{
// Dynamic constants may name dynamic constants among their bootstrap arguments; a loop of
// them is a broken class, not a reason to recurse without end.
constexpr int kMaxConstantDepth = 8;

// Every part is written with its kind and length, so that no two different forms read alike.
class CCanonical
{
public:
    void Number(std::uint64_t value)
    {
        m_bytes += 'n';
        for (int shift = 56; shift >= 0; shift -= 8)
            m_bytes += static_cast<char>((value >> shift) & 0xFF);
    }
    void Text(std::string_view text)
    {
        m_bytes += 's';
        for (int shift = 24; shift >= 0; shift -= 8)
            m_bytes += static_cast<char>((text.size() >> shift) & 0xFF);
        m_bytes.append(text);
    }
    // A number written later, once known: where it stands, for Patch.
    size_t Placeholder()
    {
        const size_t at = m_bytes.size();
        Number(0);
        return at;
    }
    void Patch(size_t at, std::uint64_t value)
    {
        for (int i = 0; i < 8; ++i)
            m_bytes[at + 1 + static_cast<size_t>(i)] = static_cast<char>((value >> (56 - 8 * i)) & 0xFF);
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// A branch or switch target: where its ordinal goes in the canonical form, and its offset.
struct CTarget
{
    size_t position = 0;
    std::int64_t offset = 0;
};

struct CAttribute
{
    std::string_view name;
    std::string_view bytes;
};

struct CMember
{
    std::uint32_t access = 0;
    std::string_view name;
    std::string_view descriptor;
    std::vector<CAttribute> attributes;
};

struct CBootstrapMethod
{
    std::uint32_t handle = 0;
    std::vector<std::uint32_t> arguments;
};

// What an operand of an instruction is, for the canonical form.
enum class COperands
{
    None,
    Local,       // u1 local variable index
    Byte,        // bipush: s1
    Short,       // sipush: s2
    Constant1,   // ldc: u1 pool index
    Constant2,   // ldc_w, ldc2_w, field and method instructions, classes: u2 pool index
    Increment,   // iinc: u1 index, s1 value
    Branch2,     // s2 offset
    Branch4,     // s4 offset
    Table,       // tableswitch
    Lookup,      // lookupswitch
    Interface,   // invokeinterface: u2 index, u1 count, u1 0
    Dynamic,     // invokedynamic: u2 index, u1 0, u1 0
    ArrayType,   // newarray: u1
    MultiArray,  // multianewarray: u2 index, u1 dimensions
    Wide,
    Invalid,
};

COperands OperandsOf(std::uint32_t op)
{
    if (op <= 0x0F || (op >= 0x1A && op <= 0x35) || (op >= 0x3B && op <= 0x83) || (op >= 0x85 && op <= 0x98) ||
        (op >= 0xAC && op <= 0xB1) || op == 0xBE || op == 0xBF || op == 0xC2 || op == 0xC3)
        return COperands::None;
    if ((op >= 0x15 && op <= 0x19) || (op >= 0x36 && op <= 0x3A) || op == 0xA9)
        return COperands::Local;
    switch (op) {
    case 0x10: return COperands::Byte;
    case 0x11: return COperands::Short;
    case 0x12: return COperands::Constant1;
    case 0x13: case 0x14: return COperands::Constant2;
    case 0x84: return COperands::Increment;
    case 0xAA: return COperands::Table;
    case 0xAB: return COperands::Lookup;
    case 0xB9: return COperands::Interface;
    case 0xBA: return COperands::Dynamic;
    case 0xBC: return COperands::ArrayType;
    case 0xC4: return COperands::Wide;
    case 0xC5: return COperands::MultiArray;
    case 0xC6: case 0xC7: return COperands::Branch2;
    case 0xC8: case 0xC9: return COperands::Branch4;
    default: break;
    }
    if (op >= 0x99 && op <= 0xA8)
        return COperands::Branch2;
    if ((op >= 0xB2 && op <= 0xB8) || op == 0xBB || op == 0xBD || op == 0xC0 || op == 0xC1)
        return COperands::Constant2;
    return COperands::Invalid;
}

// The one opcode for the forms that a rewriting tool may choose between.
std::uint32_t CanonicalOpcode(std::uint32_t op)
{
    if (op == 0x13 || op == 0x14)
        return 0x12;  // ldc
    if (op == 0xC8 || op == 0xC9)
        return op - 0x21;  // goto, jsr
    if (op >= 0x1A && op <= 0x2D)
        return 0x15 + (op - 0x1A) / 4;  // iload_0 .. aload_3
    if (op >= 0x3B && op <= 0x4E)
        return 0x36 + (op - 0x3B) / 4;  // istore_0 .. astore_3
    return op;
}

std::int32_t Signed(std::uint32_t value, int bytes)
{
    const int shift = 32 - 8 * bytes;
    return static_cast<std::int32_t>(value << shift) >> shift;
}

class CFingerprinter
{
public:
    explicit CFingerprinter(std::string_view prefix);
    bool Read(std::string_view bytes);
    bool Write(CCanonical& out) const;

private:
    bool ReadAttributes(CByteReader& reader, std::vector<CAttribute>& attributes) const;
    bool ReadBootstrapMethods(std::string_view bytes);

    std::string Unprefixed(std::string_view text, bool dottedToo) const;
    std::string ClassName(std::string_view name) const;
    std::string Types(std::string_view text) const;
    size_t Type(std::string_view text, size_t at, std::string& out) const;
    size_t ClassType(std::string_view text, size_t at, std::string& out) const;

    bool ClassAt(std::uint32_t index, CCanonical& out) const;
    bool Constant(std::uint32_t index, CCanonical& out, int depth = 0) const;
    bool MemberRef(std::uint32_t index, CCanonical& out) const;
    bool NameAndType(std::uint32_t index, CCanonical& out) const;
    bool Bootstrap(std::uint32_t number, CCanonical& out, int depth) const;
    bool WriteMember(const CMember& member, bool method, std::string& out) const;
    bool WriteCode(std::string_view bytes, CCanonical& out) const;
    bool WriteInstruction(CByteReader& code, size_t at, CCanonical& out, std::vector<CTarget>& targets) const;

    std::string m_internalPrefix;  // "shaded/"
    std::string m_dottedPrefix;    // "shaded."
    CConstantPool m_pool;
    std::uint32_t m_access = 0;
    std::uint32_t m_thisClass = 0;
    std::uint32_t m_superClass = 0;
    std::vector<std::uint32_t> m_interfaces;
    std::vector<CMember> m_fields;
    std::vector<CMember> m_methods;
    std::vector<CAttribute> m_attributes;
    std::vector<CBootstrapMethod> m_bootstrapMethods;
};

CFingerprinter::CFingerprinter(std::string_view prefix)
{
    while (!prefix.empty() && (prefix.back() == '/' || prefix.back() == '.'))
        prefix.remove_suffix(1);
    if (prefix.empty())
        return;
    m_internalPrefix = std::string(prefix) + "/";
    std::replace(m_internalPrefix.begin(), m_internalPrefix.end(), '.', '/');
    m_dottedPrefix = std::string(prefix) + ".";
    std::replace(m_dottedPrefix.begin(), m_dottedPrefix.end(), '/', '.');
}

bool CFingerprinter::Read(std::string_view bytes)
{
    CByteReader reader(bytes);
    std::uint32_t magic = 0, count = 0;
    if (!reader.U4(magic) || magic != 0xCAFEBABE || !reader.Skip(4) || !m_pool.Read(reader) ||
        !reader.U2(m_access) || !reader.U2(m_thisClass) || !reader.U2(m_superClass) || !reader.U2(count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t index = 0;
        if (!reader.U2(index))
            return false;
        m_interfaces.push_back(index);
    }
    for (std::vector<CMember>* members : {&m_fields, &m_methods}) {
        if (!reader.U2(count))
            return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            CMember member;
            std::uint32_t name = 0, descriptor = 0;
            if (!reader.U2(member.access) || !reader.U2(name) || !reader.U2(descriptor) ||
                !m_pool.Get(name, CConstantPool::kUtf8) || !m_pool.Get(descriptor, CConstantPool::kUtf8) ||
                !m_pool.Text(name, member.name) || !m_pool.Text(descriptor, member.descriptor) ||
                !ReadAttributes(reader, member.attributes))
                return false;
            members->push_back(std::move(member));
        }
    }
    if (!ReadAttributes(reader, m_attributes) || !reader.AtEnd())
        return false;
    for (const CAttribute& attribute : m_attributes)
        if (attribute.name == "BootstrapMethods" && !ReadBootstrapMethods(attribute.bytes))
            return false;
    return true;
}

bool CFingerprinter::ReadAttributes(CByteReader& reader, std::vector<CAttribute>& attributes) const
{
    std::uint32_t count = 0;
    if (!reader.U2(count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        CAttribute attribute;
        std::uint32_t name = 0, length = 0;
        if (!reader.U2(name) || !m_pool.Get(name, CConstantPool::kUtf8) || !m_pool.Text(name, attribute.name) ||
            !reader.U4(length) || !reader.Bytes(length, attribute.bytes))
            return false;
        attributes.push_back(attribute);
    }
    return true;
}

bool CFingerprinter::ReadBootstrapMethods(std::string_view bytes)
{
    CByteReader reader(bytes);
    std::uint32_t count = 0;
    if (!reader.U2(count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        CBootstrapMethod method;
        std::uint32_t arguments = 0;
        if (!reader.U2(method.handle) || !reader.U2(arguments))
            return false;
        for (std::uint32_t k = 0; k < arguments; ++k) {
            std::uint32_t argument = 0;
            if (!reader.U2(argument))
                return false;
            method.arguments.push_back(argument);
        }
        m_bootstrapMethods.push_back(std::move(method));
    }
    return reader.AtEnd();
}

std::string CFingerprinter::Unprefixed(std::string_view text, bool dottedToo) const
{
    if (!m_internalPrefix.empty() && text.starts_with(m_internalPrefix))
        text.remove_prefix(m_internalPrefix.size());
    else if (dottedToo && !m_dottedPrefix.empty() && text.starts_with(m_dottedPrefix))
        text.remove_prefix(m_dottedPrefix.size());
    return std::string(text);
}

// A Class entry names a class ("com/acme/Parser") or an array type ("[Lcom/acme/Parser;").
std::string CFingerprinter::ClassName(std::string_view name) const
{
    return name.starts_with('[') ? Types(name) : Unprefixed(name, false);
}

// A descriptor or generic signature with the prefix removed from each class name in it. The
// formal type parameters that open a signature ("<T:Ljava/lang/Object;>") are identifiers,
// each followed by its bounds.
std::string CFingerprinter::Types(std::string_view text) const
{
    std::string out;
    size_t at = 0;
    if (text.starts_with('<')) {
        out += '<';
        at = 1;
        while (at < text.size() && text[at] != '>') {
            const size_t colon = text.find(':', at);
            if (colon == std::string_view::npos)
                break;
            out.append(text.substr(at, colon - at));
            at = colon;
            while (at < text.size() && text[at] == ':') {
                out += ':';
                ++at;
                if (at < text.size() && text[at] != ':' && text[at] != '>')
                    at = Type(text, at, out);
            }
        }
    }
    while (at < text.size())
        at = Type(text, at, out);
    return out;
}

// One type at at, or one other character of a descriptor ('(', ')', 'V', '^'); the position
// after it. Always moves on.
size_t CFingerprinter::Type(std::string_view text, size_t at, std::string& out) const
{
    switch (text[at]) {
    case 'L':
        return ClassType(text, at, out);
    case 'T': {
        const size_t end = std::min(text.find(';', at), text.size() - 1);
        out.append(text.substr(at, end - at + 1));
        return end + 1;
    }
    default:
        out += text[at];
        return at + 1;
    }
}

// "Lpkg/Outer<TT;>.Inner<*>;": the prefix is removed from the class name's start only.
size_t CFingerprinter::ClassType(std::string_view text, size_t at, std::string& out) const
{
    out += 'L';
    ++at;
    if (!m_internalPrefix.empty() && text.substr(at).starts_with(m_internalPrefix))
        at += m_internalPrefix.size();
    while (at < text.size()) {
        const char c = text[at];
        if (c == ';') {
            out += c;
            return at + 1;
        }
        if (c != '<') {
            out += c;
            ++at;
            continue;
        }
        out += '<';
        ++at;
        while (at < text.size() && text[at] != '>') {
            if (text[at] == '*' || text[at] == '+' || text[at] == '-')
                out += text[at++];
            else
                at = Type(text, at, out);
        }
        if (at < text.size())
            out += text[at++];
    }
    return at;
}

bool CFingerprinter::ClassAt(std::uint32_t index, CCanonical& out) const
{
    std::string_view name;
    if (!m_pool.Get(index, CConstantPool::kClass) || !m_pool.Text(index, name))
        return false;
    out.Text(ClassName(name));
    return true;
}

bool CFingerprinter::NameAndType(std::uint32_t index, CCanonical& out) const
{
    const CConstantPool::CEntry* entry = m_pool.Get(index, CConstantPool::kNameAndType);
    std::string_view name, descriptor;
    if (!entry || !m_pool.Get(entry->first, CConstantPool::kUtf8) || !m_pool.Get(entry->second, CConstantPool::kUtf8) ||
        !m_pool.Text(entry->first, name) || !m_pool.Text(entry->second, descriptor))
        return false;
    out.Text(name);
    out.Text(Types(descriptor));
    return true;
}

bool CFingerprinter::MemberRef(std::uint32_t index, CCanonical& out) const
{
    const CConstantPool::CEntry* entry = m_pool.Get(index);
    if (!entry || (entry->tag != CConstantPool::kFieldref && entry->tag != CConstantPool::kMethodref &&
                   entry->tag != CConstantPool::kInterfaceMethodref))
        return false;
    out.Number(entry->tag);
    return ClassAt(entry->first, out) && NameAndType(entry->second, out);
}

bool CFingerprinter::Bootstrap(std::uint32_t number, CCanonical& out, int depth) const
{
    if (number >= m_bootstrapMethods.size())
        return false;
    const CBootstrapMethod& method = m_bootstrapMethods[number];
    if (!Constant(method.handle, out, depth))
        return false;
    out.Number(method.arguments.size());
    for (std::uint32_t argument : method.arguments)
        if (!Constant(argument, out, depth))
            return false;
    return true;
}

bool CFingerprinter::Constant(std::uint32_t index, CCanonical& out, int depth) const
{
    const CConstantPool::CEntry* entry = m_pool.Get(index);
    if (!entry || depth > kMaxConstantDepth)
        return false;
    out.Number(entry->tag);
    std::string_view text;
    switch (entry->tag) {
    case CConstantPool::kInteger:
    case CConstantPool::kFloat:
    case CConstantPool::kLong:
    case CConstantPool::kDouble:
        out.Number(entry->value);
        return true;
    case CConstantPool::kString:
        if (!m_pool.Text(index, text))
            return false;
        // Shading tools relocate strings that name relocated classes or their resources.
        out.Text(Unprefixed(text, true));
        return true;
    case CConstantPool::kClass:
        return ClassAt(index, out);
    case CConstantPool::kMethodType:
        if (!m_pool.Text(index, text))
            return false;
        out.Text(Types(text));
        return true;
    case CConstantPool::kMethodHandle:
        out.Number(entry->first);
        return MemberRef(entry->second, out);
    case CConstantPool::kDynamic:
    case CConstantPool::kInvokeDynamic:
        return Bootstrap(entry->first, out, depth + 1) && NameAndType(entry->second, out);
    default:
        return false;  // Utf8, refs, modules and packages are no operands
    }
}

bool CFingerprinter::WriteInstruction(CByteReader& code, size_t at, CCanonical& out,
                                      std::vector<CTarget>& targets) const
{
    std::uint32_t op = 0, a = 0, b = 0, c = 0;
    code.U1(op);
    const bool wide = op == 0xC4;
    if (wide && !code.U1(op))
        return false;
    COperands operands = OperandsOf(op);
    if (wide && operands != COperands::Local && operands != COperands::Increment)
        return false;
    out.Number(CanonicalOpcode(op));
    auto target = [&](std::uint32_t offset, int bytes) {
        targets.push_back({out.Placeholder(), static_cast<std::int64_t>(at) + Signed(offset, bytes)});
    };
    auto number = [&](std::int64_t value) { out.Number(static_cast<std::uint64_t>(value)); };
    const size_t padding = (4 - (at + 1) % 4) % 4;  // switch operands start on a multiple of 4
    switch (operands) {
    case COperands::None:
        if (op >= 0x1A && op <= 0x2D)
            number((op - 0x1A) % 4);
        else if (op >= 0x3B && op <= 0x4E)
            number((op - 0x3B) % 4);
        return true;
    case COperands::Local:
        if (!(wide ? code.U2(a) : code.U1(a)))
            return false;
        number(a);
        return true;
    case COperands::Increment:
        if (!(wide ? code.U2(a) && code.U2(b) : code.U1(a) && code.U1(b)))
            return false;
        number(a);
        number(Signed(b, wide ? 2 : 1));
        return true;
    case COperands::Byte:
    case COperands::ArrayType:
        if (!code.U1(a))
            return false;
        number(operands == COperands::Byte ? Signed(a, 1) : a);
        return true;
    case COperands::Short:
        if (!code.U2(a))
            return false;
        number(Signed(a, 2));
        return true;
    case COperands::Constant1:
        return code.U1(a) && Constant(a, out);
    case COperands::Constant2:
        if (!code.U2(a))
            return false;
        if (op >= 0xB2 && op <= 0xB8)
            return MemberRef(a, out);
        return op >= 0xBB ? ClassAt(a, out) : Constant(a, out);
    case COperands::Interface:
        return code.U2(a) && code.Skip(2) && MemberRef(a, out);
    case COperands::Dynamic:
        return code.U2(a) && code.Skip(2) && m_pool.Get(a, CConstantPool::kInvokeDynamic) && Constant(a, out);
    case COperands::MultiArray:
        if (!code.U2(a) || !code.U1(b) || !ClassAt(a, out))
            return false;
        number(b);
        return true;
    case COperands::Branch2:
        if (!code.U2(a))
            return false;
        target(a, 2);
        return true;
    case COperands::Branch4:
        if (!code.U4(a))
            return false;
        target(a, 4);
        return true;
    case COperands::Table:
        if (!code.Skip(padding) || !code.U4(a) || !code.U4(b) || !code.U4(c) || Signed(b, 4) > Signed(c, 4))
            return false;
        target(a, 4);
        number(Signed(b, 4));
        number(Signed(c, 4));
        // Ends at the code's end at the latest, whatever the bounds say.
        for (std::int64_t key = Signed(b, 4); key <= Signed(c, 4); ++key) {
            if (!code.U4(a))
                return false;
            target(a, 4);
        }
        return true;
    case COperands::Lookup:
        if (!code.Skip(padding) || !code.U4(a) || !code.U4(b) || Signed(b, 4) < 0)
            return false;
        target(a, 4);
        number(b);
        for (std::uint32_t pair = 0; pair < b; ++pair) {
            if (!code.U4(c) || !code.U4(a))
                return false;
            number(Signed(c, 4));
            target(a, 4);
        }
        return true;
    case COperands::Wide:
    case COperands::Invalid:
        break;
    }
    return false;
}

bool CFingerprinter::WriteCode(std::string_view bytes, CCanonical& out) const
{
    CByteReader reader(bytes);
    std::uint32_t length = 0;
    std::string_view code;
    if (!reader.Skip(4) || !reader.U4(length) || !reader.Bytes(length, code))
        return false;

    // Targets are written as offsets first and made ordinals once every instruction is known.
    std::vector<std::int64_t> ordinalAt(code.size() + 1, -1);
    std::vector<CTarget> targets;
    const size_t count = out.Placeholder();
    std::int64_t ordinal = 0;
    CByteReader walk(code);
    while (!walk.AtEnd()) {
        const size_t at = walk.Offset();
        ordinalAt[at] = ordinal++;
        if (!WriteInstruction(walk, at, out, targets))
            return false;
    }
    ordinalAt[code.size()] = ordinal;
    out.Patch(count, static_cast<std::uint64_t>(ordinal));
    for (const CTarget& target : targets) {
        if (target.offset < 0 || target.offset >= static_cast<std::int64_t>(code.size()) ||
            ordinalAt[static_cast<size_t>(target.offset)] < 0)
            return false;
        out.Patch(target.position, static_cast<std::uint64_t>(ordinalAt[static_cast<size_t>(target.offset)]));
    }

    std::uint32_t handlers = 0;
    if (!reader.U2(handlers))
        return false;
    out.Number(handlers);
    for (std::uint32_t i = 0; i < handlers; ++i) {
        std::uint32_t start = 0, end = 0, handler = 0, type = 0;
        if (!reader.U2(start) || !reader.U2(end) || !reader.U2(handler) || !reader.U2(type) || start >= code.size() ||
            end > code.size() || handler >= code.size() || ordinalAt[start] < 0 || ordinalAt[end] < 0 ||
            ordinalAt[handler] < 0)
            return false;
        for (std::uint32_t offset : {start, end, handler})
            out.Number(static_cast<std::uint64_t>(ordinalAt[offset]));
        if (type == 0)
            out.Text("");
        else if (!ClassAt(type, out))
            return false;
    }
    std::vector<CAttribute> attributes;
    return ReadAttributes(reader, attributes) && reader.AtEnd();
}

// One field or method, written on its own so that the members can be sorted.
bool CFingerprinter::WriteMember(const CMember& member, bool method, std::string& out) const
{
    CCanonical canonical;
    canonical.Number(member.access);
    canonical.Text(member.name);
    canonical.Text(Types(member.descriptor));
    for (const CAttribute& attribute : member.attributes) {
        CByteReader reader(attribute.bytes);
        std::uint32_t index = 0, count = 0;
        if (attribute.name == "Signature") {
            std::string_view signature;
            if (!reader.U2(index) || !m_pool.Get(index, CConstantPool::kUtf8) || !m_pool.Text(index, signature))
                return false;
            canonical.Text("Signature");
            canonical.Text(Types(signature));
        } else if (!method && attribute.name == "ConstantValue") {
            canonical.Text("ConstantValue");
            if (!reader.U2(index) || !Constant(index, canonical))
                return false;
        } else if (method && attribute.name == "Exceptions") {
            canonical.Text("Exceptions");
            if (!reader.U2(count))
                return false;
            for (std::uint32_t i = 0; i < count; ++i)
                if (!reader.U2(index) || !ClassAt(index, canonical))
                    return false;
        } else if (method && attribute.name == "Code") {
            canonical.Text("Code");
            if (!WriteCode(attribute.bytes, canonical))
                return false;
        }
    }
    out = canonical.Bytes();
    return true;
}

bool CFingerprinter::Write(CCanonical& out) const
{
    out.Number(m_access);
    if (!ClassAt(m_thisClass, out))
        return false;
    if (m_superClass == 0)
        out.Text("");
    else if (!ClassAt(m_superClass, out))
        return false;
    out.Number(m_interfaces.size());
    for (std::uint32_t index : m_interfaces)
        if (!ClassAt(index, out))
            return false;
    for (const CAttribute& attribute : m_attributes) {
        if (attribute.name != "Signature")
            continue;
        CByteReader reader(attribute.bytes);
        std::uint32_t index = 0;
        std::string_view signature;
        if (!reader.U2(index) || !m_pool.Get(index, CConstantPool::kUtf8) || !m_pool.Text(index, signature))
            return false;
        out.Text(Types(signature));
    }
    for (const auto& [members, method] : {std::pair{&m_fields, false}, std::pair{&m_methods, true}}) {
        std::vector<std::pair<std::pair<std::string, std::string>, std::string>> sorted;
        for (const CMember& member : *members) {
            std::string written;
            if (!WriteMember(member, method, written))
                return false;
            sorted.push_back({{std::string(member.name), Types(member.descriptor)}, std::move(written)});
        }
        std::sort(sorted.begin(), sorted.end());
        out.Number(sorted.size());
        for (const auto& entry : sorted)
            out.Text(entry.second);
    }
    return true;
}
}  // namespace

// The fingerprint is the first 8 bytes (big-endian) of the SHA-256 of the class's canonical
// form, which holds, in this order (class names and descriptors always with the relocated
// prefix removed):
//   - the class's access flags, its name, its superclass's name (empty for none), its
//     interfaces in declared order, and its Signature attribute;
//   - its fields sorted by name and descriptor, each with access flags, name, descriptor,
//     ConstantValue and Signature;
//   - its methods sorted by name and descriptor, each with access flags, name, descriptor,
//     Signature, the classes of Exceptions and, with a Code attribute, the code: every
//     instruction's opcode and operands, where
//       - a constant-pool operand is replaced by the constant it resolves to (class names,
//         members as owner, name and descriptor, strings with the prefix removed when they
//         start with it, numbers by their bits, method handles, method types and dynamic
//         constants with their bootstrap method and its arguments),
//       - ldc, ldc_w and ldc2_w count as one opcode, as do goto and goto_w, jsr and jsr_w,
//         and the short loads and stores (iload_0) and their long forms (iload 0, wide),
//       - branch and switch targets and the exception table's ranges and handlers are
//         instruction ordinals, not byte offsets, since a rewritten pool can change an ldc
//         into an ldc_w and so every offset after it; switch padding is left out;
//     max_stack and max_locals are left out, since a rewriting tool may compute them anew.
// The constant pool's order, the class-file version, debug attributes (SourceFile,
// LineNumberTable, LocalVariableTable), StackMapTable, annotations and every other attribute
// are left out: they differ between a class and its relocated copy, or say nothing of what
// the class does.
std::optional<std::uint64_t> CClassFingerprint::Compute(std::string_view classBytes, std::string_view relocatedPrefix)
{
    CFingerprinter fingerprinter(relocatedPrefix);
    CCanonical canonical;
    if (!fingerprinter.Read(classBytes) || !fingerprinter.Write(canonical))
        return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(canonical.Bytes().data(), canonical.Bytes().size(), digest, &length, EVP_sha256(), nullptr) != 1 ||
        length < 8)
        return std::nullopt;
    std::uint64_t fingerprint = 0;
    for (int i = 0; i < 8; ++i)
        fingerprint = (fingerprint << 8) | digest[i];
    return fingerprint;
}

std::string CClassFingerprint::ToText(std::uint64_t fingerprint)
{
    static const char* const hex = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, fingerprint >>= 4)
        text[static_cast<size_t>(i)] = hex[fingerprint & 15];
    return text;
}
