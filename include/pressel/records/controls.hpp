// Control-sequence records: one per pair of function types of the code
// table (the unchained even code and the chained odd code), the fallback of
// unknown function types, the code points between control sequences and the
// bytes that do not frame as a control sequence.
//
// Every control-sequence record starts with its function type, written as
// stored: the chaining bit is the record's own. The X'2BD3' prefix and the
// length byte in front of it are framing. The fields after it are the
// parameters in order; parameters a control sequence may leave out are never
// fixed fields, so that the shorter valid form decodes: they stay in the
// trailing buffer, named xxx_Data. A control sequence longer than its fixed
// fields and without a trailing buffer keeps its extra bytes only in the
// chunk (they carry no meaning and the record covers less than its payload).
#pragma once

#include "pressel/record.hpp"

namespace pressel {

// X'74' set text color: the named colour; the retired precision byte that
// may follow it stays in the tail.
struct PTX_STC {
    N1 ptx_stc_Type; N2 ptx_stc_Color; Buffer0 ptx_stc_Data;
    friend bool operator==(const PTX_STC&, const PTX_STC&) = default;
};
PRESSEL_RECORD(PTX_, PTX_STC, ptx_stc_Type, ptx_stc_Color, ptx_stc_Data)

// X'C0' set inline margin.
struct PTX_SIM {
    N1 ptx_sim_Type; N2 ptx_sim_Displacement;
    friend bool operator==(const PTX_SIM&, const PTX_SIM&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SIM, ptx_sim_Type, ptx_sim_Displacement)

// X'C2' set intercharacter adjustment: the adjustment; the optional
// direction byte stays in the tail.
struct PTX_SIA {
    N1 ptx_sia_Type; N2 ptx_sia_Adjustment; Buffer0 ptx_sia_Data;
    friend bool operator==(const PTX_SIA&, const PTX_SIA&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SIA, ptx_sia_Type, ptx_sia_Adjustment, ptx_sia_Data)

// X'C4' set variable space character increment.
struct PTX_SVI {
    N1 ptx_svi_Type; N2 ptx_svi_Increment;
    friend bool operator==(const PTX_SVI&, const PTX_SVI&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SVI, ptx_svi_Type, ptx_svi_Increment)

// X'C6' absolute move inline.
struct PTX_AMI {
    N1 ptx_ami_Type; N2 ptx_ami_Displacement;
    friend bool operator==(const PTX_AMI&, const PTX_AMI&) = default;
};
PRESSEL_RECORD(PTX_, PTX_AMI, ptx_ami_Type, ptx_ami_Displacement)

// X'C8' relative move inline: a signed displacement (negative moves back).
struct PTX_RMI {
    N1 ptx_rmi_Type;
    I2 ptx_rmi_Displacement;
    friend bool operator==(const PTX_RMI&, const PTX_RMI&) = default;
};
PRESSEL_RECORD(PTX_, PTX_RMI, ptx_rmi_Type, ptx_rmi_Displacement)

// X'D0' set baseline increment.
struct PTX_SBI {
    N1 ptx_sbi_Type; N2 ptx_sbi_Increment;
    friend bool operator==(const PTX_SBI&, const PTX_SBI&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SBI, ptx_sbi_Type, ptx_sbi_Increment)

// X'D2' absolute move baseline.
struct PTX_AMB {
    N1 ptx_amb_Type; N2 ptx_amb_Displacement;
    friend bool operator==(const PTX_AMB&, const PTX_AMB&) = default;
};
PRESSEL_RECORD(PTX_, PTX_AMB, ptx_amb_Type, ptx_amb_Displacement)

// X'D4' relative move baseline: a signed displacement (negative moves
// toward the I axis).
struct PTX_RMB {
    N1 ptx_rmb_Type;
    I2 ptx_rmb_Displacement;
    friend bool operator==(const PTX_RMB&, const PTX_RMB&) = default;
};
PRESSEL_RECORD(PTX_, PTX_RMB, ptx_rmb_Type, ptx_rmb_Displacement)

// X'D8' begin line: no parameters.
struct PTX_BLN {
    N1 ptx_bln_Type;
    friend bool operator==(const PTX_BLN&, const PTX_BLN&) = default;
};
PRESSEL_RECORD(PTX_, PTX_BLN, ptx_bln_Type)

// X'DA' transparent data: code points presented as they are, never
// scanned for a control-sequence prefix.
struct PTX_TRN {
    N1 ptx_trn_Type; Buffer0 ptx_trn;
    friend bool operator==(const PTX_TRN&, const PTX_TRN&) = default;
};
PRESSEL_RECORD(PTX_, PTX_TRN, ptx_trn_Type, ptx_trn)
PRESSEL_NAME_FIELD(PTX_TRN, ptx_trn)

// X'E4' draw I-axis rule: its length (negative draws backwards); the optional
// width (a signed integer and a binary fraction) stays in the tail.
struct PTX_DIR {
    N1 ptx_dir_Type; I2 ptx_dir_Length; Buffer0 ptx_dir_Data;
    friend bool operator==(const PTX_DIR&, const PTX_DIR&) = default;
};
PRESSEL_RECORD(PTX_, PTX_DIR, ptx_dir_Type, ptx_dir_Length, ptx_dir_Data)

// X'E6' draw B-axis rule: its length (negative draws backwards); the optional
// width (a signed integer and a binary fraction) stays in the tail.
struct PTX_DBR {
    N1 ptx_dbr_Type; I2 ptx_dbr_Length; Buffer0 ptx_dbr_Data;
    friend bool operator==(const PTX_DBR&, const PTX_DBR&) = default;
};
PRESSEL_RECORD(PTX_, PTX_DBR, ptx_dbr_Type, ptx_dbr_Length, ptx_dbr_Data)

// X'EE' repeat string: the number of bytes to present, then the code points
// repeated to fill them.
struct PTX_RPS {
    N1 ptx_rps_Type; N2 ptx_rps_Length; Buffer0 ptx_rps;
    friend bool operator==(const PTX_RPS&, const PTX_RPS&) = default;
};
PRESSEL_RECORD(PTX_, PTX_RPS, ptx_rps_Type, ptx_rps_Length, ptx_rps)
PRESSEL_NAME_FIELD(PTX_RPS, ptx_rps)

// X'F0' set coded font local.
struct PTX_SCFL {
    N1 ptx_scfl_Type;
    N1 ptx_scfl_LocalId;
    friend bool operator==(const PTX_SCFL&, const PTX_SCFL&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SCFL, ptx_scfl_Type, ptx_scfl_LocalId)

// X'F2' begin suppression.
struct PTX_BSU {
    N1 ptx_bsu_Type; N1 ptx_bsu_LocalId;
    friend bool operator==(const PTX_BSU&, const PTX_BSU&) = default;
};
PRESSEL_RECORD(PTX_, PTX_BSU, ptx_bsu_Type, ptx_bsu_LocalId)

// X'F4' end suppression.
struct PTX_ESU {
    N1 ptx_esu_Type; N1 ptx_esu_LocalId;
    friend bool operator==(const PTX_ESU&, const PTX_ESU&) = default;
};
PRESSEL_RECORD(PTX_, PTX_ESU, ptx_esu_Type, ptx_esu_LocalId)

// X'F6' set text orientation.
struct PTX_STO {
    N1 ptx_sto_Type;
    N2 ptx_sto_IOrientation;
    N2 ptx_sto_BOrientation;
    friend bool operator==(const PTX_STO&, const PTX_STO&) = default;
};
PRESSEL_RECORD(PTX_, PTX_STO, ptx_sto_Type, ptx_sto_IOrientation, ptx_sto_BOrientation)

// X'F8' no operation: ignored bytes.
struct PTX_NOP {
    N1 ptx_nop_Type; Buffer0 ptx_nop;
    friend bool operator==(const PTX_NOP&, const PTX_NOP&) = default;
};
PRESSEL_RECORD(PTX_, PTX_NOP, ptx_nop_Type, ptx_nop)

// X'6A' Unicode complex text: version, the length of the Unicode text that
// follows the control sequence (not scanned for control sequences), flags,
// bidirectional and glyph controls, and the alternate inline position.
struct PTX_UCT {
    N1 ptx_uct_Type; N1 ptx_uct_Version; A1 ptx_uct_Reserved1; N2 ptx_uct_TextLength; N1 ptx_uct_Flags;
    A1 ptx_uct_Reserved2; N1 ptx_uct_BidiControl; N1 ptx_uct_GlyphControl; N4 ptx_uct_Reserved3;
    I2 ptx_uct_AlternateInlinePosition; Buffer0 ptx_uct_Data;
    friend bool operator==(const PTX_UCT&, const PTX_UCT&) = default;
};
PRESSEL_RECORD(PTX_, PTX_UCT, ptx_uct_Type, ptx_uct_Version, ptx_uct_Reserved1, ptx_uct_TextLength, ptx_uct_Flags,
               ptx_uct_Reserved2, ptx_uct_BidiControl, ptx_uct_GlyphControl, ptx_uct_Reserved3,
               ptx_uct_AlternateInlinePosition, ptx_uct_Data)

// X'6D' glyph layout control (chained form only): the inline advance of the
// whole glyph run chain, the lengths of the font object identifier and of the
// full font name, then (in the tail) the identifier and the UTF-16 name.
struct PTX_GLC {
    N1 ptx_glc_Type; I2 ptx_glc_InlineAdvance; N1 ptx_glc_OIDLength; N1 ptx_glc_FontNameLength;
    N4 ptx_glc_Reserved; Buffer0 ptx_glc_Data;
    friend bool operator==(const PTX_GLC&, const PTX_GLC&) = default;
};
PRESSEL_RECORD(PTX_, PTX_GLC, ptx_glc_Type, ptx_glc_InlineAdvance, ptx_glc_OIDLength, ptx_glc_FontNameLength,
               ptx_glc_Reserved, ptx_glc_Data)

// X'72' overstrike: the bypass flags (what the overstrike skips; all of
// bits 4 to 7 zero ends it) and the overstrike character.
struct PTX_OVS {
    N1 ptx_ovs_Type; N1 ptx_ovs_BypassFlags; N2 ptx_ovs_OverstrikeCharacter;
    friend bool operator==(const PTX_OVS&, const PTX_OVS&) = default;
};
PRESSEL_RECORD(PTX_, PTX_OVS, ptx_ovs_Type, ptx_ovs_BypassFlags, ptx_ovs_OverstrikeCharacter)

// X'76' underscore: the bypass flags (all of bits 4 to 7 zero ends it).
struct PTX_USC {
    N1 ptx_usc_Type; N1 ptx_usc_BypassFlags;
    friend bool operator==(const PTX_USC&, const PTX_USC&) = default;
};
PRESSEL_RECORD(PTX_, PTX_USC, ptx_usc_Type, ptx_usc_BypassFlags)

// X'78' temporary baseline move: the direction (1 back to the established
// baseline, 2 down as for a subscript, 3 up as for a superscript); the
// optional precision and increment stay in the tail.
struct PTX_TBM {
    N1 ptx_tbm_Type; N1 ptx_tbm_Direction; Buffer0 ptx_tbm_Data;
    friend bool operator==(const PTX_TBM&, const PTX_TBM&) = default;
};
PRESSEL_RECORD(PTX_, PTX_TBM, ptx_tbm_Type, ptx_tbm_Direction, ptx_tbm_Data)

// X'80' set extended text color: the colour space and the bits of each
// component as the X'4E' colour triplet gives them, then the colour value.
struct PTX_SEC {
    N1 ptx_sec_Type; A1 ptx_sec_Reserved1; N1 ptx_sec_ColorSpace; N4 ptx_sec_Reserved2; N1 ptx_sec_ColorSize1;
    N1 ptx_sec_ColorSize2; N1 ptx_sec_ColorSize3; N1 ptx_sec_ColorSize4; Buffer0 ptx_sec_Data;
    friend bool operator==(const PTX_SEC&, const PTX_SEC&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SEC, ptx_sec_Type, ptx_sec_Reserved1, ptx_sec_ColorSpace, ptx_sec_Reserved2,
               ptx_sec_ColorSize1, ptx_sec_ColorSize2, ptx_sec_ColorSize3, ptx_sec_ColorSize4, ptx_sec_Data)

// X'8B' glyph id run (chained form only): glyph indices of the font the
// glyph layout control names, two bytes each.
struct PTX_GIR {
    N1 ptx_gir_Type; A2 ptx_gir_Reserved; Buffer0 ptx_gir_Data;
    friend bool operator==(const PTX_GIR&, const PTX_GIR&) = default;
};
PRESSEL_RECORD(PTX_, PTX_GIR, ptx_gir_Type, ptx_gir_Reserved, ptx_gir_Data)

// X'8C' glyph advance run: the inline position of each glyph from the start
// of the glyph layout control, two bytes each.
struct PTX_GAR {
    N1 ptx_gar_Type; A2 ptx_gar_Reserved; Buffer0 ptx_gar_Data;
    friend bool operator==(const PTX_GAR&, const PTX_GAR&) = default;
};
PRESSEL_RECORD(PTX_, PTX_GAR, ptx_gar_Type, ptx_gar_Reserved, ptx_gar_Data)

// X'8E' glyph offset run: the signed baseline offset of each glyph, two
// bytes each.
struct PTX_GOR {
    N1 ptx_gor_Type; A2 ptx_gor_Reserved; Buffer0 ptx_gor_Data;
    friend bool operator==(const PTX_GOR&, const PTX_GOR&) = default;
};
PRESSEL_RECORD(PTX_, PTX_GOR, ptx_gor_Type, ptx_gor_Reserved, ptx_gor_Data)

// X'98' encrypted data: encrypted code points.
struct PTX_ENC {
    N1 ptx_enc_Type; N4 ptx_enc_Reserved; Buffer0 ptx_enc_Data;
    friend bool operator==(const PTX_ENC&, const PTX_ENC&) = default;
};
PRESSEL_RECORD(PTX_, PTX_ENC, ptx_enc_Type, ptx_enc_Reserved, ptx_enc_Data)

// X'9A' set key information: the key data for encrypted data.
struct PTX_SKI {
    N1 ptx_ski_Type; N4 ptx_ski_Reserved; Buffer0 ptx_ski_Data;
    friend bool operator==(const PTX_SKI&, const PTX_SKI&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SKI, ptx_ski_Type, ptx_ski_Reserved, ptx_ski_Data)

// X'9C' set encrypted alternate: code points shown when the encrypted data
// cannot be decrypted.
struct PTX_SEA {
    N1 ptx_sea_Type; N4 ptx_sea_Reserved; Buffer0 ptx_sea;
    friend bool operator==(const PTX_SEA&, const PTX_SEA&) = default;
};
PRESSEL_RECORD(PTX_, PTX_SEA, ptx_sea_Type, ptx_sea_Reserved, ptx_sea)
PRESSEL_NAME_FIELD(PTX_SEA, ptx_sea)

// A control sequence whose function type no table lists.
struct PTX_Unknown {
    N1 ptx_unknown_Type;
    Buffer0 ptx_unknown;
    friend bool operator==(const PTX_Unknown&, const PTX_Unknown&) = default;
};
PRESSEL_RECORD(PTX_, PTX_Unknown, ptx_unknown_Type, ptx_unknown)

// Code points between control sequences (graphic characters of the active font).
struct PTX_Text {
    Buffer0 ptx_text;
    friend bool operator==(const PTX_Text&, const PTX_Text&) = default;
};
PRESSEL_VERBATIM_RECORD(PTX_, PTX_Text, Text, ptx_text)

// Bytes that do not frame as a control sequence (a length below 2, or one that
// runs past the end of the data), kept as they are.
struct PTX_Raw {
    Buffer0 ptx_raw;
    friend bool operator==(const PTX_Raw&, const PTX_Raw&) = default;
};
PRESSEL_VERBATIM_RECORD(PTX_, PTX_Raw, Raw, ptx_raw)

}  // namespace pressel
