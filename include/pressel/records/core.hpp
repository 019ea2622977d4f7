// The structured-field records with fixed layouts of their own, their
// repeating groups, and the fallback record of unknown structured fields.
//
// Every structured-field record starts with two N3 header fields: the
// structured-field identifier (xxx_Type) and the flag byte with the two
// reserved bytes that follow it in the introducer (xxx_).
#pragma once

#include "pressel/record.hpp"

namespace pressel {

// A signed 3-byte value held as its high byte and its low two bytes.
constexpr I3 joinI3(std::uint8_t high, std::uint16_t low) noexcept {
    std::uint32_t u = std::uint32_t(high) << 16 | low;
    return I3(static_cast<std::int32_t>((u & 0x800000u) ? (u | 0xFF000000u) : u));
}

// ---- repeating groups of a declared length --------------------------------------
// Every group of MCF1, CPI and FNI has the length its record or its resource
// declares: MCF1 states it in its own bytes (30, or 28 when the groups leave
// out the character rotation); CPI takes it from the CPC of the same code page
// (10 single-byte, 11 double-byte, X'FE'/X'FF' the same with Unicode values);
// FNI from the FNC of the same font character set (28 in the architecture,
// shorter in real fonts). A group is decoded from exactly its own bytes:
// fields past its end are absent, bytes beyond its fields are kept in its
// tail, so writing it again gives the same length.
//
// A CPI or FNI decoded on its own cannot see its CPC or FNC; a walk over a
// whole stream can. DecodeContext holds the lengths a walk has seen (0: none,
// the architected length applies) and DecodeScope makes a context the one
// that decoding on the current thread consults until the scope ends:
//
//     DecodeContext ctx;
//     DecodeScope scope(ctx);
//     for (const AFP_& c : stream) { ctx.observe(c); ... decode c ... }
struct DecodeContext {
    std::uint8_t cpiGroupLength = 0;
    std::uint8_t fniGroupLength = 0;
    // Learns from a structured field of the walk: CPC and FNC state the
    // lengths, Begin Code Page and Begin Font start a resource that has not
    // stated them yet.
    void observe(const AFP_& c);
};
// The context of the innermost DecodeScope of this thread (an empty one
// outside every scope).
const DecodeContext& currentDecodeContext() noexcept;
class DecodeScope {
public:
    explicit DecodeScope(const DecodeContext& ctx) noexcept;
    ~DecodeScope();
    DecodeScope(const DecodeScope&) = delete;
    DecodeScope& operator=(const DecodeScope&) = delete;

private:
    const DecodeContext* previous_;
};

namespace detail {
// Groups of `len` bytes each, every one decoded from its own bytes. A
// fragment shorter than a group at the end is left unread (the record then
// covers less than its payload, which validation reports).
template <class G>
std::vector<Record<G>> readGroupsOf(ByteReader& r, std::size_t len) {
    std::vector<Record<G>> out;
    if (len == 0) return out;
    while (r.remaining() >= len) {
        const std::uint64_t at = r.offset();
        ByteReader g(r.take(len), at);
        out.push_back(Record<G>{recGet<G>(g)});
    }
    return out;
}
// The two header fields of every structured-field record.
template <class T>
void readHeader(ByteReader& r, T& v, N3 T::*type, N3 T::*flags) {
    r.setContext(RecordDecl<T>::name, "type");
    v.*type = readField<N3>(r);
    v.*flags = readField<N3>(r);
    r.setContext(nullptr, nullptr);
}
}  // namespace detail

// ---- image (IM image object) -------------------------------------------------
struct IID {
    N3 iid_Type; N3 iid_;
    A12 iid_ConstantData1;
    N1 iid_XBase; N1 iid_YBase;
    N2 iid_XUnits; N2 iid_YUnits; N2 iid_XSize; N2 iid_YSize;
    A6 iid_ConstantData2;
    N2 iid_XCellSize; N2 iid_YCellSize;
    A1 iid_ConstantData3;
    N2 iid_Color;
    friend bool operator==(const IID&, const IID&) = default;
};
PRESSEL_RECORD(AFP_, IID, iid_Type, iid_, iid_ConstantData1, iid_XBase, iid_YBase, iid_XUnits, iid_YUnits,
               iid_XSize, iid_YSize, iid_ConstantData2, iid_XCellSize, iid_YCellSize, iid_ConstantData3, iid_Color)

// The 3-byte signed offsets of the object area are split into a 1-byte and a
// 2-byte field; xOffset() and yOffset() give the whole values.
struct IOC {
    N3 ioc_Type; N3 ioc_;
    A1 ioc_Reserved1; N2 ioc_XOffset; A1 ioc_Reserved2; N2 ioc_YOffset;
    N2 ioc_XOrientation; N2 ioc_YOrientation;
    A8 ioc_ConstantData1;
    N2 ioc_XMap; N2 ioc_YMap;
    A2 ioc_ConstantData2;
    I3 xOffset() const noexcept { return joinI3(ioc_Reserved1.value, ioc_XOffset.value); }
    I3 yOffset() const noexcept { return joinI3(ioc_Reserved2.value, ioc_YOffset.value); }
    friend bool operator==(const IOC&, const IOC&) = default;
};
PRESSEL_RECORD(AFP_, IOC, ioc_Type, ioc_, ioc_Reserved1, ioc_XOffset, ioc_Reserved2, ioc_YOffset, ioc_XOrientation,
               ioc_YOrientation, ioc_ConstantData1, ioc_XMap, ioc_YMap, ioc_ConstantData2)

struct ICP {
    N3 icp_Type; N3 icp_;
    N2 icp_XCellOffset; N2 icp_YCellOffset; N2 icp_XCellSize; N2 icp_YCellSize; N2 icp_XFillSize; N2 icp_YFillSize;
    friend bool operator==(const ICP&, const ICP&) = default;
};
PRESSEL_RECORD(AFP_, ICP, icp_Type, icp_, icp_XCellOffset, icp_YCellOffset, icp_XCellSize, icp_YCellSize,
               icp_XFillSize, icp_YFillSize)

// ---- page --------------------------------------------------------------------
// The 3-byte page extents are split into a 1-byte and a 2-byte field;
// xSize() and ySize() give the whole extents (X'050607' is 329223).
struct PGD {
    N3 pgd_Type; N3 pgd_;
    N1 pgd_XBase; N1 pgd_YBase; N2 pgd_XUnits; N2 pgd_YUnits;
    N1 pgd_Field7; N2 pgd_XSize; N1 pgd_Field9; N2 pgd_YSize;
    Buffer0 pgd_Data;
    N3 xSize() const noexcept { return N3(std::uint32_t(pgd_Field7.value) << 16 | pgd_XSize.value); }
    N3 ySize() const noexcept { return N3(std::uint32_t(pgd_Field9.value) << 16 | pgd_YSize.value); }
    friend bool operator==(const PGD&, const PGD&) = default;
};
PRESSEL_RECORD(AFP_, PGD, pgd_Type, pgd_, pgd_XBase, pgd_YBase, pgd_XUnits, pgd_YUnits, pgd_Field7, pgd_XSize,
               pgd_Field9, pgd_YSize, pgd_Data)

// Presentation Text Descriptor, format 2: the units and the extents of the
// text space, the text flags, then the initial text conditions as control
// sequences. A descriptor may end after its extents or its flags.
struct PTD {
    N3 ptd_Type; N3 ptd_;
    N1 ptd_XBase; N1 ptd_YBase; N2 ptd_XUnits; N2 ptd_YUnits; N3 ptd_XSize; N3 ptd_YSize;
    Opt<N2> ptd_TextFlags;
    Chunks<PTX_> ptd_Chunks;
    friend bool operator==(const PTD&, const PTD&) = default;
};
PRESSEL_RECORD(AFP_, PTD, ptd_Type, ptd_, ptd_XBase, ptd_YBase, ptd_XUnits, ptd_YUnits, ptd_XSize, ptd_YSize,
               ptd_TextFlags, ptd_Chunks)

// Presentation text: code points and control sequences. When the data opens
// with the escape sequence X'2BD3', the field holds it and the first control
// sequence follows without a prefix of its own (the list is lead-chained);
// data that opens with anything else (code points, or nothing) has no escape
// field and is read from its first byte, code points as text.
struct PTX {
    N3 ptx_Type; N3 ptx_;
    Opt<N2> ptx_EscapeSequence;
    Chunks<PTX_> ptx_Chunks;
    bool opensChain() const noexcept { return ptx_EscapeSequence.value && ptx_EscapeSequence.value->value == 0x2BD3; }
    friend bool operator==(const PTX&, const PTX&) = default;
};
PRESSEL_RECORD(AFP_, PTX, ptx_Type, ptx_, ptx_EscapeSequence, ptx_Chunks)
// The escape field is there only when the data opens with X'2BD3'; the
// control sequences are lead-chained exactly when it is.
PRESSEL_PRESENT_WHEN(PTX, ptx_EscapeSequence, 0x2BD3)
template <>
struct RecordFacts<PTX> {
    static constexpr auto leadChain = &PTX::opensChain;
};

// ---- tag logical element: triplets only ---------------------------------------
struct TLE {
    N3 tle_Type; N3 tle_;
    Chunks<T_> tle_Chunks;
    friend bool operator==(const TLE&, const TLE&) = default;
};
PRESSEL_RECORD(AFP_, TLE, tle_Type, tle_, tle_Chunks)

// ---- code page ---------------------------------------------------------------
struct CPC {
    N3 cpc_Type; N3 cpc_;
    A8 cpc_GCGID;
    N1 cpc_DefaultCharacterUseFlags; N1 cpc_CPIRepeatingGroupLength; N1 cpc_SpaceSectionNumber;
    N1 cpc_SpaceCodePoint;
    Buffer0 cpc_Data;
    friend bool operator==(const CPC&, const CPC&) = default;
};
PRESSEL_RECORD(AFP_, CPC, cpc_Type, cpc_, cpc_GCGID, cpc_DefaultCharacterUseFlags, cpc_CPIRepeatingGroupLength,
               cpc_SpaceSectionNumber, cpc_SpaceCodePoint, cpc_Data)

// A code page index group: the character's GCGID, its use flags and its code
// point, one byte in a single-byte code page (cpi_CodePoint) or two in a
// double-byte one (cpi_DoubleByteCodePoint; the other is absent). The Unicode
// values of X'FE'/X'FF' groups (a count and 4-byte scalars) and any bytes
// beyond the declared fields stay in cpi_Tail.
struct CPI_Data {
    A8 cpi_GCGID; N1 cpi_CharacterUseFlags; Opt<N1> cpi_CodePoint; Opt<N2> cpi_DoubleByteCodePoint;
    Buffer0 cpi_Tail;
    friend bool operator==(const CPI_Data&, const CPI_Data&) = default;
};
PRESSEL_GROUP_RECORD(CPI_Data, cpi_GCGID, cpi_CharacterUseFlags, cpi_CodePoint, cpi_DoubleByteCodePoint, cpi_Tail)

// Code Page Index: groups of the length the code page's CPC declares (see
// DecodeContext; 10 when none is known).
struct CPI {
    N3 cpi_Type; N3 cpi_;
    std::vector<Record<CPI_Data>> cpi_Data;
    friend bool operator==(const CPI&, const CPI&) = default;
};
PRESSEL_RECORD(AFP_, CPI, cpi_Type, cpi_, cpi_Data)
template <>
struct RecordHooks<CPI> {
    static CPI get(ByteReader& r) {
        CPI v;
        detail::readHeader(r, v, &CPI::cpi_Type, &CPI::cpi_);
        const std::size_t declared = currentDecodeContext().cpiGroupLength;
        const bool doubleByte = declared == 11 || declared == 0xFF;
        const bool unicode = declared == 0xFE || declared == 0xFF;
        // A length the architecture does not define is taken as single-byte
        // groups of that length.
        const std::size_t base = declared == 0 || unicode ? (doubleByte ? 11 : 10) : declared;
        r.setContext("CPI_Data", "cpi_GCGID");
        while (r.remaining() >= base) {
            std::size_t len = base;
            if (unicode) {
                std::size_t fixed = doubleByte ? 11 : 10;
                if (r.remaining() < fixed + 1) break;
                len = fixed + 1 + 4 * std::size_t(r.peek(fixed));
                if (r.remaining() < len) break;
            }
            const std::uint64_t at = r.offset();
            ByteReader g(r.take(len), at);
            CPI_Data d;
            d.cpi_GCGID = readField<A8>(g);
            d.cpi_CharacterUseFlags = readField<N1>(g);
            if (doubleByte) d.cpi_DoubleByteCodePoint = readField<N2>(g);
            else d.cpi_CodePoint = readField<N1>(g);
            d.cpi_Tail = Buffer0{g.takeRest()};
            v.cpi_Data.push_back(Record<CPI_Data>{d});
        }
        r.setContext(nullptr, nullptr);
        return v;
    }
};

// ---- coded font ----------------------------------------------------------------
struct CFC {
    N3 cfc_Type; N3 cfc_;
    N1 cfc_CFIRepeatingGroupLength;
    Buffer0 cfc_Data;
    friend bool operator==(const CFC&, const CFC&) = default;
};
PRESSEL_RECORD(AFP_, CFC, cfc_Type, cfc_, cfc_CFIRepeatingGroupLength, cfc_Data)

struct CFI_Data {
    A8 cfi_FontCharacterSetName; A8 cfi_CodePageName; A8 cfi_CodedFontName; N1 cfi_SectionNumber;
    friend bool operator==(const CFI_Data&, const CFI_Data&) = default;
};
PRESSEL_GROUP_RECORD(CFI_Data, cfi_FontCharacterSetName, cfi_CodePageName, cfi_CodedFontName, cfi_SectionNumber)

struct CFI {
    N3 cfi_Type; N3 cfi_;
    std::vector<Record<CFI_Data>> cfi_Data;
    friend bool operator==(const CFI&, const CFI&) = default;
};
PRESSEL_RECORD(AFP_, CFI, cfi_Type, cfi_, cfi_Data)

// ---- map coded font, format 1 ------------------------------------------------------
// A group of the coded font map, format 1. The character rotation is absent
// from 28-byte groups; bytes beyond it stay in mcf1_Tail.
struct MCF1_Data {
    N1 mcf1_CodedFontLocalId; A1 mcf1_Reserved1; N1 mcf1_CodedFontResourceSectionId; A1 mcf1_Reserved2;
    A8 mcf1_CodedFontName; A8 mcf1_CodePageName; A8 mcf1_FontCharacterSetName;
    Opt<N2> mcf1_CharacterRotation; Buffer0 mcf1_Tail;
    friend bool operator==(const MCF1_Data&, const MCF1_Data&) = default;
};
PRESSEL_GROUP_RECORD(MCF1_Data, mcf1_CodedFontLocalId, mcf1_Reserved1, mcf1_CodedFontResourceSectionId,
                     mcf1_Reserved2, mcf1_CodedFontName, mcf1_CodePageName, mcf1_FontCharacterSetName,
                     mcf1_CharacterRotation, mcf1_Tail)

// Map Coded Font, format 1: the length of every group (28 or 30), then the groups.
struct MCF1 {
    N3 mcf1_Type; N3 mcf1_;
    N1 mcf1_RepeatingGroupLength;
    A3 mcf1__;
    std::vector<Record<MCF1_Data>> mcf1_Data;
    friend bool operator==(const MCF1&, const MCF1&) = default;
};
PRESSEL_RECORD(AFP_, MCF1, mcf1_Type, mcf1_, mcf1_RepeatingGroupLength, mcf1__, mcf1_Data)
template <>
struct RecordHooks<MCF1> {
    static MCF1 get(ByteReader& r) {
        MCF1 v;
        detail::readHeader(r, v, &MCF1::mcf1_Type, &MCF1::mcf1_);
        r.setContext("MCF1", "mcf1_RepeatingGroupLength");
        v.mcf1_RepeatingGroupLength = readField<N1>(r);
        r.setContext("MCF1", "mcf1__");
        v.mcf1__ = readField<A3>(r);
        r.setContext(nullptr, nullptr);
        v.mcf1_Data = detail::readGroupsOf<MCF1_Data>(r, v.mcf1_RepeatingGroupLength.value);
        return v;
    }
};

// ---- map coded font, format 2: repeating groups of triplets ----------------------
struct MCF {
    N3 mcf_Type; N3 mcf_;
    Chunks<MCF_> mcf_Chunks;
    friend bool operator==(const MCF&, const MCF&) = default;
};
PRESSEL_RECORD(AFP_, MCF, mcf_Type, mcf_, mcf_Chunks)

// One repeating group of MCF: its triplets.
struct MCF_T {
    Chunks<T_> mcf_t_Chunks;
    friend bool operator==(const MCF_T&, const MCF_T&) = default;
};
PRESSEL_RECORD(MCF_, MCF_T, mcf_t_Chunks)

// ---- font character set ----------------------------------------------------------
// A font index group: the character's GCGID and increment, then the metrics
// the group's length has room for (a 10-byte group has none of them); bytes
// beyond the 28 architected ones stay in fni_Tail.
struct FNI_Data {
    A8 fni_GCGID;
    N2 fni_CharacterIncrement; Opt<I2> fni_AscendHeight; Opt<I2> fni_DescendDepth; Opt<N2> fni_Reserved1;
    Opt<N2> fni_FNMIndex; Opt<I2> fni_ASpace; Opt<N2> fni_BSpace; Opt<I2> fni_CSpace; Opt<N2> fni_Reserved2;
    Opt<I2> fni_BaselineOffset; Buffer0 fni_Tail;
    friend bool operator==(const FNI_Data&, const FNI_Data&) = default;
};
PRESSEL_GROUP_RECORD(FNI_Data, fni_GCGID, fni_CharacterIncrement, fni_AscendHeight, fni_DescendDepth,
                     fni_Reserved1, fni_FNMIndex, fni_ASpace, fni_BSpace, fni_CSpace, fni_Reserved2,
                     fni_BaselineOffset, fni_Tail)

// Font Index: groups of the length the font's FNC declares (see
// DecodeContext; 28 when none is known).
struct FNI {
    N3 fni_Type; N3 fni_;
    std::vector<Record<FNI_Data>> fni_Data;
    friend bool operator==(const FNI&, const FNI&) = default;
};
PRESSEL_RECORD(AFP_, FNI, fni_Type, fni_, fni_Data)
template <>
struct RecordHooks<FNI> {
    static FNI get(ByteReader& r) {
        FNI v;
        detail::readHeader(r, v, &FNI::fni_Type, &FNI::fni_);
        const std::size_t declared = currentDecodeContext().fniGroupLength;
        v.fni_Data = detail::readGroupsOf<FNI_Data>(r, declared ? declared : 28);
        return v;
    }
};

struct FNM_Data {
    N2 fnm_CharacterBoxWidth; N2 fnm_CharacterBoxHeight; N4 fnm_PatternDataOffset;
    friend bool operator==(const FNM_Data&, const FNM_Data&) = default;
};
PRESSEL_GROUP_RECORD(FNM_Data, fnm_CharacterBoxWidth, fnm_CharacterBoxHeight, fnm_PatternDataOffset)

struct FNM {
    N3 fnm_Type; N3 fnm_;
    std::vector<Record<FNM_Data>> fnm_Data;
    friend bool operator==(const FNM&, const FNM&) = default;
};
PRESSEL_RECORD(AFP_, FNM, fnm_Type, fnm_, fnm_Data)

struct FNO {
    N3 fno_Type; N3 fno_;
    N2 fno_Reserved1; N2 fno_CharacterRotation; I2 fno_MaxBaselineOffset; N2 fno_MaxCharacterIncrement;
    N2 fno_SpaceCharacterIncrement;
    Buffer0 fno_Data;
    friend bool operator==(const FNO&, const FNO&) = default;
};
PRESSEL_RECORD(AFP_, FNO, fno_Type, fno_, fno_Reserved1, fno_CharacterRotation, fno_MaxBaselineOffset,
               fno_MaxCharacterIncrement, fno_SpaceCharacterIncrement, fno_Data)

// ---- resources and maps ----------------------------------------------------------
// End Resource: the resource name (shown converted from EBCDIC).
struct ER {
    N3 er_Type; N3 er_;
    Buffer0 er;
    friend bool operator==(const ER&, const ER&) = default;
};
PRESSEL_RECORD(AFP_, ER, er_Type, er_, er)
PRESSEL_NAME_AT(ER, 0)
PRESSEL_NAME_FIELD(ER, er)

// Map Data Resource: groups with a 2-byte length, each a list of triplets
// naming a data-object resource (a font, an image, a colour profile).
struct MDR {
    N3 mdr_Type; N3 mdr_;
    Chunks<MCF_> mdr_Groups;
    friend bool operator==(const MDR&, const MDR&) = default;
};
PRESSEL_RECORD(AFP_, MDR, mdr_Type, mdr_, mdr_Groups)

struct MGO {
    N3 mgo_Type; N3 mgo_;
    Buffer0 mgo_Data;
    friend bool operator==(const MGO&, const MGO&) = default;
};
PRESSEL_RECORD(AFP_, MGO, mgo_Type, mgo_, mgo_Data)

// Map Suppression: groups of a suppression name, a reserved byte and its id.
struct MSU_Data {
    A8 msu_SuppressionName; A1 msu_Reserved; N1 msu_SuppressionId;
    friend bool operator==(const MSU_Data&, const MSU_Data&) = default;
};
PRESSEL_GROUP_RECORD(MSU_Data, msu_SuppressionName, msu_Reserved, msu_SuppressionId)

struct MSU {
    N3 msu_Type; N3 msu_;
    std::vector<Record<MSU_Data>> msu_Data;
    friend bool operator==(const MSU&, const MSU&) = default;
};
PRESSEL_RECORD(AFP_, MSU, msu_Type, msu_, msu_Data)

// ---- the fallback of the structured-field table ---------------------------------
// Any structured field whose identifier no table lists: its whole payload.
struct Unknown {
    Bytes unknown;
    friend bool operator==(const Unknown&, const Unknown&) = default;
};
template <>
struct RecordDecl<Unknown> {
    static constexpr const char* name = "Unknown";
    static constexpr RecordIndex tableIndex = idx_Unknown;
    static constexpr bool noTypeCode = true;
    static constexpr auto fields() { return makeFieldList(FieldDesc<&Unknown::unknown>{"unknown"}); }
};
template <>
struct FamilyOf<Unknown> {
    using type = AFP_;
    static constexpr bool verbatim = false;
    static constexpr Frame frame = Frame::Item;
};
template <>
struct RecordHooks<Unknown> {
    static Unknown get(ByteReader& r) { return Unknown{r.takeRest()}; }
    static void put(Builder& b, const Unknown& v) { b.putBytes(v.unknown); }
    static std::size_t size(const Unknown& v) { return v.unknown.size(); }
};
// "Unknown \"...\"", parenthesised at precedence 11 and above.
inline void showsPrec(std::string& out, int prec, const Unknown& v) {
    if (prec >= 11) out += '(';
    out += "Unknown ";
    showBytes(out, v.unknown);
    if (prec >= 11) out += ')';
}
// An Unknown is written as a structured field whose identifier is its first
// three bytes, with its extension and padding put back.
template <>
inline auto encodeChunk(const Record<Unknown>& r) {
    const Bytes& b = r.recordContent.unknown;
    std::uint32_t code = b.size() >= 3 ? (std::uint32_t(b[0]) << 16) | (std::uint32_t(b[1]) << 8) | b[2] : 0;
    return frameChunk(code, b, r.recordFraming);
}

}  // namespace pressel
