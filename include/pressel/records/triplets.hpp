// Triplet records: one per triplet identifier of the code table, the
// fallback of unknown identifiers, and the bytes of a triplet list that do
// not frame as a triplet.
//
// Every triplet record starts with its one-byte identifier; the length byte in
// front of it is framing and not part of the record. The fields after it are
// the triplet's parameters at their architected offsets (one less than the
// offset counted from the length byte). Parameters that a triplet may leave
// out (high-order halves of 8-byte counts, optional flags, variable colour
// values) are never fixed fields, so that the shorter valid form decodes:
// they stay in the trailing buffer, named xxx_Data. A trailing buffer that is
// the triplet's main content (a comment, a name, a value) bears the record's
// own name. A triplet longer than its fixed fields and without a trailing
// buffer keeps its extra bytes only in the chunk (the record covers less
// than its payload).
#pragma once

#include "pressel/record.hpp"

namespace pressel {

// X'01' coded graphic character set global identifier: GCSGID and code page
// (the CCSID form holds 0 and the CCSID).
struct T_CGCSGID {
    N1 t_cgcsgid_Type; N2 t_cgcsgid_GCSGID; N2 t_cgcsgid_CPGID;
    friend bool operator==(const T_CGCSGID&, const T_CGCSGID&) = default;
};
PRESSEL_RECORD(T_, T_CGCSGID, t_cgcsgid_Type, t_cgcsgid_GCSGID, t_cgcsgid_CPGID)

// X'02' fully qualified name: its type (what the name refers to), its format
// (character name, object identifier, URL) and the name.
struct T_FQN {
    N1 t_fqn_Type; N1 t_fqn_SubType; N1 t_fqn_Format;
    Buffer0 t_fqn;
    friend bool operator==(const T_FQN&, const T_FQN&) = default;
};
PRESSEL_RECORD(T_, T_FQN, t_fqn_Type, t_fqn_SubType, t_fqn_Format, t_fqn)
PRESSEL_NAME_FIELD(T_FQN, t_fqn)

// X'04' mapping option.
struct T_MO {
    N1 t_mo_Type; N1 t_mo_MapValue;
    friend bool operator==(const T_MO&, const T_MO&) = default;
};
PRESSEL_RECORD(T_, T_MO, t_mo_Type, t_mo_MapValue)

// X'10' object classification: the registered object identifier and the
// optional type name, level and company name stay in the tail.
struct T_OC {
    N1 t_oc_Type; A1 t_oc_Reserved1; N1 t_oc_ObjectClass; A2 t_oc_Reserved2; A2 t_oc_StructureFlags;
    Buffer0 t_oc_Data;
    friend bool operator==(const T_OC&, const T_OC&) = default;
};
PRESSEL_RECORD(T_, T_OC, t_oc_Type, t_oc_Reserved1, t_oc_ObjectClass, t_oc_Reserved2, t_oc_StructureFlags,
               t_oc_Data)

// X'18' interchange set: its type and identifier.
struct T_MIS {
    N1 t_mis_Type; N1 t_mis_SetType; N2 t_mis_SetId;
    friend bool operator==(const T_MIS&, const T_MIS&) = default;
};
PRESSEL_RECORD(T_, T_MIS, t_mis_Type, t_mis_SetType, t_mis_SetId)

// X'1D' text orientation (retired): inline and baseline orientation.
struct T_TO {
    N1 t_to_Type; N2 t_to_IOrientation; N2 t_to_BOrientation;
    friend bool operator==(const T_TO&, const T_TO&) = default;
};
PRESSEL_RECORD(T_, T_TO, t_to_Type, t_to_IOrientation, t_to_BOrientation)

// X'1F' font descriptor: weight, width, height and flags. The reserved bytes and the optional
// usage flags that may follow the flags stay in the tail.
struct T_FDS {
    N1 t_fds_Type; N1 t_fds_WeightClass; N1 t_fds_WidthClass; N2 t_fds_Height; N2 t_fds_Width; N1 t_fds_Flags;
    Buffer0 t_fds_Data;
    friend bool operator==(const T_FDS&, const T_FDS&) = default;
};
PRESSEL_RECORD(T_, T_FDS, t_fds_Type, t_fds_WeightClass, t_fds_WidthClass, t_fds_Height, t_fds_Width,
               t_fds_Flags, t_fds_Data)

// X'20' font coded graphic character set global identifier.
struct T_FCGCSGID {
    N1 t_fcgcsgid_Type; N2 t_fcgcsgid_GCSGID; N2 t_fcgcsgid_CPGID;
    friend bool operator==(const T_FCGCSGID&, const T_FCGCSGID&) = default;
};
PRESSEL_RECORD(T_, T_FCGCSGID, t_fcgcsgid_Type, t_fcgcsgid_GCSGID, t_fcgcsgid_CPGID)

// X'21' resource object type (on a resource) or the object function sets
// of a document (on a document): the object type, then what follows it, whose
// meaning depends on the carrying structured field.
struct T_ROT {
    N1 t_rot_Type; N1 t_rot_ObjectType; Buffer0 t_rot_Data;
    friend bool operator==(const T_ROT&, const T_ROT&) = default;
};
PRESSEL_RECORD(T_, T_ROT, t_rot_Type, t_rot_ObjectType, t_rot_Data)

// X'22' extended resource local identifier.
struct T_ERLID {
    N1 t_erlid_Type; N1 t_erlid_ResourceType; N4 t_erlid_ResourceLocalId;
    friend bool operator==(const T_ERLID&, const T_ERLID&) = default;
};
PRESSEL_RECORD(T_, T_ERLID, t_erlid_Type, t_erlid_ResourceType, t_erlid_ResourceLocalId)

// X'23': no layout is defined for this identifier; its bytes are kept whole.
struct T_X23 {
    N1 t_x23_Type; Buffer0 t_x23;
    friend bool operator==(const T_X23&, const T_X23&) = default;
};
PRESSEL_RECORD(T_, T_X23, t_x23_Type, t_x23)

// X'24' resource local identifier.
struct T_RLI {
    N1 t_rli_Type; N1 t_rli_ResourceType; N1 t_rli_ResourceLocalId;
    friend bool operator==(const T_RLI&, const T_RLI&) = default;
};
PRESSEL_RECORD(T_, T_RLI, t_rli_Type, t_rli_ResourceType, t_rli_ResourceLocalId)

// X'25' resource section number.
struct T_RSN {
    N1 t_rsn_Type; N1 t_rsn_SectionNumber;
    friend bool operator==(const T_RSN&, const T_RSN&) = default;
};
PRESSEL_RECORD(T_, T_RSN, t_rsn_Type, t_rsn_SectionNumber)

// X'26' character rotation (the rotation's two bytes in the data).
struct T_CR {
    N1 t_cr_Type;
    Buffer0 t_cr;
    friend bool operator==(const T_CR&, const T_CR&) = default;
};
PRESSEL_RECORD(T_, T_CR, t_cr_Type, t_cr)

// X'27' line data object position migration (retired).
struct T_LDOPM {
    N1 t_ldopm_Type; N1 t_ldopm_TempOrientation;
    friend bool operator==(const T_LDOPM&, const T_LDOPM&) = default;
};
PRESSEL_RECORD(T_, T_LDOPM, t_ldopm_Type, t_ldopm_TempOrientation)

// X'2D' object byte offset: the low-order 4 bytes; the optional high-order
// 4 bytes stay in the tail.
struct T_OBO {
    N1 t_obo_Type; N4 t_obo_Offset; Buffer0 t_obo_Data;
    friend bool operator==(const T_OBO&, const T_OBO&) = default;
};
PRESSEL_RECORD(T_, T_OBO, t_obo_Type, t_obo_Offset, t_obo_Data)

// X'36' attribute value: two reserved bytes, then the value.
struct T_AV {
    N1 t_av_Type; A2 t_av_Reserved;
    Buffer0 t_av;
    friend bool operator==(const T_AV&, const T_AV&) = default;
};
PRESSEL_RECORD(T_, T_AV, t_av_Type, t_av_Reserved, t_av)
PRESSEL_NAME_FIELD(T_AV, t_av)

// X'43' descriptor position.
struct T_DP {
    N1 t_dp_Type; N1 t_dp_DescriptorPositionId;
    friend bool operator==(const T_DP&, const T_DP&) = default;
};
PRESSEL_RECORD(T_, T_DP, t_dp_Type, t_dp_DescriptorPositionId)

// X'45' media eject control.
struct T_MEC {
    N1 t_mec_Type; A1 t_mec_Reserved; N1 t_mec_EjectControl;
    friend bool operator==(const T_MEC&, const T_MEC&) = default;
};
PRESSEL_RECORD(T_, T_MEC, t_mec_Type, t_mec_Reserved, t_mec_EjectControl)

// X'46' page overlay conditional processing (retired): the overlay type; the
// optional level stays in the tail.
struct T_POCP {
    N1 t_pocp_Type; N1 t_pocp_OverlayType; Buffer0 t_pocp_Data;
    friend bool operator==(const T_POCP&, const T_POCP&) = default;
};
PRESSEL_RECORD(T_, T_POCP, t_pocp_Type, t_pocp_OverlayType, t_pocp_Data)

// X'47' resource usage attribute (retired).
struct T_RUA {
    N1 t_rua_Type; N1 t_rua_Frequency;
    friend bool operator==(const T_RUA&, const T_RUA&) = default;
};
PRESSEL_RECORD(T_, T_RUA, t_rua_Type, t_rua_Frequency)

// X'4B' measurement units.
struct T_MU {
    N1 t_mu_Type; N1 t_mu_XBase; N1 t_mu_YBase; N2 t_mu_XUnits; N2 t_mu_YUnits;
    friend bool operator==(const T_MU&, const T_MU&) = default;
};
PRESSEL_RECORD(T_, T_MU, t_mu_Type, t_mu_XBase, t_mu_YBase, t_mu_XUnits, t_mu_YUnits)

// X'4C' object area size.
struct T_OAS {
    N1 t_oas_Type; N1 t_oas_SizeType; N3 t_oas_XSize; N3 t_oas_YSize;
    friend bool operator==(const T_OAS&, const T_OAS&) = default;
};
PRESSEL_RECORD(T_, T_OAS, t_oas_Type, t_oas_SizeType, t_oas_XSize, t_oas_YSize)

// X'4D' area definition: the area's signed offset and its size.
struct T_AD {
    N1 t_ad_Type; A1 t_ad_Reserved; I3 t_ad_XOffset; I3 t_ad_YOffset; N3 t_ad_XSize; N3 t_ad_YSize;
    friend bool operator==(const T_AD&, const T_AD&) = default;
};
PRESSEL_RECORD(T_, T_AD, t_ad_Type, t_ad_Reserved, t_ad_XOffset, t_ad_YOffset, t_ad_XSize, t_ad_YSize)

// X'4E' colour: the colour space, the bits of each component,
// then the colour value, whose length depends on the space.
struct T_CSPEC {
    N1 t_cspec_Type; A1 t_cspec_Reserved1; N1 t_cspec_ColorSpace; N4 t_cspec_Reserved2; N1 t_cspec_ColorSize1;
    N1 t_cspec_ColorSize2; N1 t_cspec_ColorSize3; N1 t_cspec_ColorSize4; Buffer0 t_cspec_Data;
    friend bool operator==(const T_CSPEC&, const T_CSPEC&) = default;
};
PRESSEL_RECORD(T_, T_CSPEC, t_cspec_Type, t_cspec_Reserved1, t_cspec_ColorSpace, t_cspec_Reserved2,
               t_cspec_ColorSize1, t_cspec_ColorSize2, t_cspec_ColorSize3, t_cspec_ColorSize4, t_cspec_Data)

// X'50' encoding scheme identifier: the code page's scheme; the optional
// user-data scheme stays in the tail.
struct T_ESID {
    N1 t_esid_Type; N2 t_esid_CodePageScheme; Buffer0 t_esid_Data;
    friend bool operator==(const T_ESID&, const T_ESID&) = default;
};
PRESSEL_RECORD(T_, T_ESID, t_esid_Type, t_esid_CodePageScheme, t_esid_Data)

// X'56' medium map page number.
struct T_MMPN {
    N1 t_mmpn_Type; N4 t_mmpn_PageNumber;
    friend bool operator==(const T_MMPN&, const T_MMPN&) = default;
};
PRESSEL_RECORD(T_, T_MMPN, t_mmpn_Type, t_mmpn_PageNumber)

// X'57' object byte extent: the low-order 4 bytes; the optional high-order
// 4 bytes stay in the tail.
struct T_OBE {
    N1 t_obe_Type; N4 t_obe_Extent; Buffer0 t_obe_Data;
    friend bool operator==(const T_OBE&, const T_OBE&) = default;
};
PRESSEL_RECORD(T_, T_OBE, t_obe_Type, t_obe_Extent, t_obe_Data)

// X'58' object structured field offset: the low-order 4 bytes; the optional
// high-order 4 bytes stay in the tail.
struct T_OSFO {
    N1 t_osfo_Type; N4 t_osfo_Offset; Buffer0 t_osfo_Data;
    friend bool operator==(const T_OSFO&, const T_OSFO&) = default;
};
PRESSEL_RECORD(T_, T_OSFO, t_osfo_Type, t_osfo_Offset, t_osfo_Data)

// X'59' object structured field extent: the low-order 4 bytes; the optional
// high-order 4 bytes stay in the tail.
struct T_OSFE {
    N1 t_osfe_Type; N4 t_osfe_Extent; Buffer0 t_osfe_Data;
    friend bool operator==(const T_OSFE&, const T_OSFE&) = default;
};
PRESSEL_RECORD(T_, T_OSFE, t_osfe_Type, t_osfe_Extent, t_osfe_Data)

// X'5A' object offset: the object type and the count of objects before it;
// the optional high-order 4 bytes of the count stay in the tail.
struct T_OO {
    N1 t_oo_Type; N1 t_oo_ObjectType; A1 t_oo_Reserved; N4 t_oo_Count; Buffer0 t_oo_Data;
    friend bool operator==(const T_OO&, const T_OO&) = default;
};
PRESSEL_RECORD(T_, T_OO, t_oo_Type, t_oo_ObjectType, t_oo_Reserved, t_oo_Count, t_oo_Data)

// X'5D' font horizontal scale factor.
struct T_FHSF {
    N1 t_fhsf_Type; N2 t_fhsf_HorizontalScale;
    friend bool operator==(const T_FHSF&, const T_FHSF&) = default;
};
PRESSEL_RECORD(T_, T_FHSF, t_fhsf_Type, t_fhsf_HorizontalScale)

// X'5E' object count: the subordinate object type and the count; the
// optional high-order 4 bytes of the count stay in the tail.
struct T_OCNT {
    N1 t_ocnt_Type; N1 t_ocnt_SubObjectType; A1 t_ocnt_Reserved; N4 t_ocnt_Count; Buffer0 t_ocnt_Data;
    friend bool operator==(const T_OCNT&, const T_OCNT&) = default;
};
PRESSEL_RECORD(T_, T_OCNT, t_ocnt_Type, t_ocnt_SubObjectType, t_ocnt_Reserved, t_ocnt_Count, t_ocnt_Data)

// X'62' local date and time stamp: the stamp type, then the date and time
// as EBCDIC digits (century, year, day of year, hour, minute, second,
// hundredths), shown as text.
struct T_LDTS {
    N1 t_ldts_Type; N1 t_ldts_StampType; Buffer0 t_ldts;
    friend bool operator==(const T_LDTS&, const T_LDTS&) = default;
};
PRESSEL_RECORD(T_, T_LDTS, t_ldts_Type, t_ldts_StampType, t_ldts)
PRESSEL_NAME_FIELD(T_LDTS, t_ldts)

// X'63' object checksum (retired) or resource management value.
struct T_OCS {
    N1 t_ocs_Type; N1 t_ocs_Format; N2 t_ocs_Value; N1 t_ocs_Flags;
    friend bool operator==(const T_OCS&, const T_OCS&) = default;
};
PRESSEL_RECORD(T_, T_OCS, t_ocs_Type, t_ocs_Format, t_ocs_Value, t_ocs_Flags)

// X'64' object origin identifier (retired): the system, its identifier, the
// medium identifier and the data set name.
struct T_OOI {
    N1 t_ooi_Type; N1 t_ooi_System; A8 t_ooi_SystemId; A6 t_ooi_MediumId; Buffer0 t_ooi_DataSetName;
    friend bool operator==(const T_OOI&, const T_OOI&) = default;
};
PRESSEL_RECORD(T_, T_OOI, t_ooi_Type, t_ooi_System, t_ooi_SystemId, t_ooi_MediumId, t_ooi_DataSetName)
PRESSEL_NAME_FIELD(T_OOI, t_ooi_DataSetName)

// X'65' comment: text.
struct T_CMT {
    N1 t_cmt_Type; Buffer0 t_cmt;
    friend bool operator==(const T_CMT&, const T_CMT&) = default;
};
PRESSEL_RECORD(T_, T_CMT, t_cmt_Type, t_cmt)
PRESSEL_NAME_FIELD(T_CMT, t_cmt)

// X'68' medium orientation.
struct T_MEDO {
    N1 t_medo_Type; N1 t_medo_Orientation;
    friend bool operator==(const T_MEDO&, const T_MEDO&) = default;
};
PRESSEL_RECORD(T_, T_MEDO, t_medo_Type, t_medo_Orientation)

// X'6C' resource object include: the object type and name and its position;
// the optional orientation stays in the tail. The offsets are signed.
struct T_ROI {
    N1 t_roi_Type; N1 t_roi_ObjectType; A8 t_roi_ObjectName; I3 t_roi_XOffset; I3 t_roi_YOffset;
    Buffer0 t_roi_Data;
    friend bool operator==(const T_ROI&, const T_ROI&) = default;
};
PRESSEL_RECORD(T_, T_ROI, t_roi_Type, t_roi_ObjectType, t_roi_ObjectName, t_roi_XOffset, t_roi_YOffset,
               t_roi_Data)

// X'6D' extension font: the GCSGID of the base font.
struct T_EF {
    N1 t_ef_Type; N2 t_ef_GCSGID;
    friend bool operator==(const T_EF&, const T_EF&) = default;
};
PRESSEL_RECORD(T_, T_EF, t_ef_Type, t_ef_GCSGID)

// X'70' presentation space reset mixing.
struct T_PSRM {
    N1 t_psrm_Type; N1 t_psrm_Flags;
    friend bool operator==(const T_PSRM&, const T_PSRM&) = default;
};
PRESSEL_RECORD(T_, T_PSRM, t_psrm_Type, t_psrm_Flags)

// X'71' presentation space mixing rules: pairs of keyword and rule.
struct T_PSMR {
    N1 t_psmr_Type; Buffer0 t_psmr;
    friend bool operator==(const T_PSMR&, const T_PSMR&) = default;
};
PRESSEL_RECORD(T_, T_PSMR, t_psmr_Type, t_psmr)

// X'72' universal date and time stamp (binary values).
struct T_UDTS {
    N1 t_udts_Type; A1 t_udts_Reserved; N2 t_udts_Year; N1 t_udts_Month; N1 t_udts_Day; N1 t_udts_Hour;
    N1 t_udts_Minute; N1 t_udts_Second; N1 t_udts_TimeZone; N1 t_udts_UTCDiffHours; N1 t_udts_UTCDiffMinutes;
    friend bool operator==(const T_UDTS&, const T_UDTS&) = default;
};
PRESSEL_RECORD(T_, T_UDTS, t_udts_Type, t_udts_Reserved, t_udts_Year, t_udts_Month, t_udts_Day, t_udts_Hour,
               t_udts_Minute, t_udts_Second, t_udts_TimeZone, t_udts_UTCDiffHours, t_udts_UTCDiffMinutes)

// X'73' IMM insertion (retired).
struct T_IMMI {
    N1 t_immi_Type; A2 t_immi_Reserved;
    friend bool operator==(const T_IMMI&, const T_IMMI&) = default;
};
PRESSEL_RECORD(T_, T_IMMI, t_immi_Type, t_immi_Reserved)

// X'74' toner saver.
struct T_TS {
    N1 t_ts_Type; A1 t_ts_Reserved1; N1 t_ts_Control; A2 t_ts_Reserved2;
    friend bool operator==(const T_TS&, const T_TS&) = default;
};
PRESSEL_RECORD(T_, T_TS, t_ts_Type, t_ts_Reserved1, t_ts_Control, t_ts_Reserved2)

// X'75' color fidelity.
struct T_CF {
    N1 t_cf_Type; N1 t_cf_StopOnExcess; A1 t_cf_Reserved1; N1 t_cf_ReportOnExcess; A1 t_cf_Reserved2;
    N1 t_cf_Substitution; A1 t_cf_Reserved3;
    friend bool operator==(const T_CF&, const T_CF&) = default;
};
PRESSEL_RECORD(T_, T_CF, t_cf_Type, t_cf_StopOnExcess, t_cf_Reserved1, t_cf_ReportOnExcess, t_cf_Reserved2,
               t_cf_Substitution, t_cf_Reserved3)

// X'78' font fidelity.
struct T_FF {
    N1 t_ff_Type; N1 t_ff_StopOnException; N4 t_ff_Reserved;
    friend bool operator==(const T_FF&, const T_FF&) = default;
};
PRESSEL_RECORD(T_, T_FF, t_ff_Type, t_ff_StopOnException, t_ff_Reserved)

// X'79' metric adjustment.
struct T_MA {
    N1 t_ma_Type; N1 t_ma_UnitBase; N2 t_ma_XUnits; N2 t_ma_YUnits; I2 t_ma_HIncrement; I2 t_ma_VIncrement;
    I2 t_ma_HBaselineAdjust; I2 t_ma_VBaselineAdjust;
    friend bool operator==(const T_MA&, const T_MA&) = default;
};
PRESSEL_RECORD(T_, T_MA, t_ma_Type, t_ma_UnitBase, t_ma_XUnits, t_ma_YUnits, t_ma_HIncrement, t_ma_VIncrement,
               t_ma_HBaselineAdjust, t_ma_VBaselineAdjust)

// X'80' attribute qualifier: sequence and level numbers, kept together.
struct T_AQ {
    N1 t_aq_Type;
    Buffer0 t_aq;
    friend bool operator==(const T_AQ&, const T_AQ&) = default;
};
PRESSEL_RECORD(T_, T_AQ, t_aq_Type, t_aq)

// X'81' page position information: which page position group applies.
struct T_PPI {
    N1 t_ppi_Type; N1 t_ppi_RepeatingGroup;
    friend bool operator==(const T_PPI&, const T_PPI&) = default;
};
PRESSEL_RECORD(T_, T_PPI, t_ppi_Type, t_ppi_RepeatingGroup)

// X'82' parameter value: the syntax of the value, then the value.
struct T_PV {
    N1 t_pv_Type; A1 t_pv_Reserved; N1 t_pv_Syntax; Buffer0 t_pv;
    friend bool operator==(const T_PV&, const T_PV&) = default;
};
PRESSEL_RECORD(T_, T_PV, t_pv_Type, t_pv_Reserved, t_pv_Syntax, t_pv)

// X'83' presentation control.
struct T_PC {
    N1 t_pc_Type; N1 t_pc_Flags;
    friend bool operator==(const T_PC&, const T_PC&) = default;
};
PRESSEL_RECORD(T_, T_PC, t_pc_Type, t_pc_Flags)

// X'84' font resolution and metric technology.
struct T_FRMT {
    N1 t_frmt_Type; N1 t_frmt_MetricTechnology; N1 t_frmt_UnitBase; N2 t_frmt_Units;
    friend bool operator==(const T_FRMT&, const T_FRMT&) = default;
};
PRESSEL_RECORD(T_, T_FRMT, t_frmt_Type, t_frmt_MetricTechnology, t_frmt_UnitBase, t_frmt_Units)

// X'85' finishing operation: the fixed parameters; the operation positions
// (two bytes each, as many as the count says) stay in the tail.
struct T_FO {
    N1 t_fo_Type; N1 t_fo_OperationType; N1 t_fo_OperationOption; A1 t_fo_Reserved; N1 t_fo_ReferenceEdge;
    N1 t_fo_OperationCount; N2 t_fo_AxisOffset; Buffer0 t_fo_Data;
    friend bool operator==(const T_FO&, const T_FO&) = default;
};
PRESSEL_RECORD(T_, T_FO, t_fo_Type, t_fo_OperationType, t_fo_OperationOption, t_fo_Reserved, t_fo_ReferenceEdge,
               t_fo_OperationCount, t_fo_AxisOffset, t_fo_Data)

// X'87' media fidelity.
struct T_MF {
    N1 t_mf_Type; N1 t_mf_StopOnException; N4 t_mf_Reserved;
    friend bool operator==(const T_MF&, const T_MF&) = default;
};
PRESSEL_RECORD(T_, T_MF, t_mf_Type, t_mf_StopOnException, t_mf_Reserved)

// X'8B' data-object font descriptor: how a data-object font (TrueType,
// OpenType) mapped by MCF or MDR is to be used: its technology, vertical
// size in twentieths of a point, horizontal scale, character rotation and
// the encoding (environment and id) of its text; what follows stays in the
// tail.
struct T_DOFD {
    N1 t_dofd_Type; N1 t_dofd_Flags; N1 t_dofd_Technology; N2 t_dofd_VerticalFontSize;
    N2 t_dofd_HorizontalScale; N2 t_dofd_CharacterRotation; N2 t_dofd_EncodingEnvironment;
    N2 t_dofd_EncodingId; Buffer0 t_dofd_Data;
    friend bool operator==(const T_DOFD&, const T_DOFD&) = default;
};
PRESSEL_RECORD(T_, T_DOFD, t_dofd_Type, t_dofd_Flags, t_dofd_Technology, t_dofd_VerticalFontSize,
               t_dofd_HorizontalScale, t_dofd_CharacterRotation, t_dofd_EncodingEnvironment, t_dofd_EncodingId,
               t_dofd_Data)

// A triplet whose identifier no table lists.
struct T_Unknown {
    N1 t_unknown_Type;
    Buffer0 t_unknown;
    friend bool operator==(const T_Unknown&, const T_Unknown&) = default;
};
PRESSEL_RECORD(T_, T_Unknown, t_unknown_Type, t_unknown)

// Bytes of a triplet list that do not frame as a triplet (a length below 2,
// or one that runs past the end of the list), kept as they are.
struct T_Raw {
    Buffer0 t_raw;
    friend bool operator==(const T_Raw&, const T_Raw&) = default;
};
PRESSEL_VERBATIM_RECORD(T_, T_Raw, Raw, t_raw)

}  // namespace pressel
