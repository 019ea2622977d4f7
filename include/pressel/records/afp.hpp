// Structured-field records of the code table that are not laid out in core.hpp.
//
// Each starts with the identifier and the introducer's flag and reserved bytes
// (two N3 fields), then the record's fixed parameters at their architected
// offsets, then what runs to the end of the structured field:
//   Chunks<T_>    triplets
//   Chunks<MCF_>  repeating groups with a 2-byte length (as in MCF)
//   Record<G>     fixed-size repeating groups
//   Buffer0       the rest as bytes: object data, or parameters that are optional
//                 (a fixed field must be present for the record to decode, so a
//                 parameter a writer may leave out is kept in the trailing bytes)
//
// Begin and End fields: a Begin of a named component (document, page, page group,
// page segment, overlay, resource, font, code page, map) carries its 8-byte name
// and then triplets. The name of an End field is optional (left out, or
// X'FFFF...', it closes whatever is open), and so is the name of a data object
// and of an environment or resource group, and writers do leave it out. So
// every Begin and End record reads its name as Opt<A8> (xxx_Name, absent when
// the field ends before it) and then its triplets as Chunks<T_>
// (xxx_Triplets).
//
// Signed offsets and displacements have the signed types I2 and I3.
#pragma once

#include "pressel/records/core.hpp"

namespace pressel {

// Medium Finishing Control: flags, collection, scope (1 print file, 2 all documents, 3 selected
// document, ...), then the finishing triplets.
struct MFC {
    N3 mfc_Type; N3 mfc_; N1 mfc_Flags; A1 mfc_Reserved; N1 mfc_MediumCollection; N1 mfc_Scope;
    Chunks<T_> mfc_Triplets;
    friend bool operator==(const MFC&, const MFC&) = default;
};
PRESSEL_RECORD(AFP_, MFC, mfc_Type, mfc_, mfc_Flags, mfc_Reserved, mfc_MediumCollection, mfc_Scope, mfc_Triplets)

struct MCC_Data {
    N2 mcc_StartNumber; N2 mcc_StopNumber; A1 mcc_Reserved; N1 mcc_ModificationControlId;
    friend bool operator==(const MCC_Data&, const MCC_Data&) = default;
};
PRESSEL_GROUP_RECORD(MCC_Data, mcc_StartNumber, mcc_StopNumber, mcc_Reserved, mcc_ModificationControlId)

// Medium Copy Count: 6-byte groups, a copy range and the Medium Modification Control it uses.
struct MCC {
    N3 mcc_Type; N3 mcc_; std::vector<Record<MCC_Data>> mcc_Data;
    friend bool operator==(const MCC&, const MCC&) = default;
};
PRESSEL_RECORD(AFP_, MCC, mcc_Type, mcc_, mcc_Data)

// Object Area Descriptor: triplets only.
struct OBD {
    N3 obd_Type; N3 obd_; Chunks<T_> obd_Triplets;
    friend bool operator==(const OBD&, const OBD&) = default;
};
PRESSEL_RECORD(AFP_, OBD, obd_Type, obd_, obd_Triplets)

// Code Page Descriptor: a 32-byte description (four A8 fields: there is no wider fixed
// field), the GCGID length (8), the number of code points, GCSGID and CPGID. The
// encoding scheme that may follow is optional, so it stays in cpd_Data.
struct CPD {
    N3 cpd_Type; N3 cpd_; A8 cpd_Description1; A8 cpd_Description2; A8 cpd_Description3; A8 cpd_Description4;
    N2 cpd_GCGIDLength; N4 cpd_NumberOfCodePoints; N2 cpd_GCSGID; N2 cpd_CPGID; Buffer0 cpd_Data;
    friend bool operator==(const CPD&, const CPD&) = default;
};
PRESSEL_RECORD(AFP_, CPD, cpd_Type, cpd_, cpd_Description1, cpd_Description2, cpd_Description3, cpd_Description4,
               cpd_GCGIDLength, cpd_NumberOfCodePoints, cpd_GCSGID, cpd_CPGID, cpd_Data)

// Medium Descriptor: units of measure, medium size, flags, then triplets.
struct MDD {
    N3 mdd_Type; N3 mdd_; N1 mdd_XBase; N1 mdd_YBase; N2 mdd_XUnits; N2 mdd_YUnits; N3 mdd_XSize; N3 mdd_YSize;
    N1 mdd_Flags; Chunks<T_> mdd_Triplets;
    friend bool operator==(const MDD&, const MDD&) = default;
};
PRESSEL_RECORD(AFP_, MDD, mdd_Type, mdd_, mdd_XBase, mdd_YBase, mdd_XUnits, mdd_YUnits, mdd_XSize, mdd_YSize,
               mdd_Flags, mdd_Triplets)

// Font Descriptor: a 32-byte typeface description (four A8 fields), weight and width
// classes, point and horizontal sizes in 1440ths of an inch, the design class, the design
// flags, GCSGID and font typeface global id (FGID), then triplets. The 15 and 10 reserved
// bytes are split into fields of the widths there are.
struct FND {
    N3 fnd_Type; N3 fnd_; A8 fnd_Description1; A8 fnd_Description2; A8 fnd_Description3; A8 fnd_Description4;
    N1 fnd_WeightClass; N1 fnd_WidthClass; N2 fnd_MaxPointSize; N2 fnd_NominalPointSize; N2 fnd_MinPointSize;
    N2 fnd_MaxHorizontalSize; N2 fnd_NominalHorizontalSize; N2 fnd_MinHorizontalSize; N1 fnd_DesignGeneralClass;
    N1 fnd_DesignSubclass; N1 fnd_DesignSpecificGroup; A12 fnd_Reserved1; A3 fnd_Reserved2; A2 fnd_DesignFlags;
    A8 fnd_Reserved3; A2 fnd_Reserved4; N2 fnd_GCSGID; N2 fnd_FGID; Chunks<T_> fnd_Triplets;
    friend bool operator==(const FND&, const FND&) = default;
};
PRESSEL_RECORD(AFP_, FND, fnd_Type, fnd_, fnd_Description1, fnd_Description2, fnd_Description3, fnd_Description4,
               fnd_WeightClass, fnd_WidthClass, fnd_MaxPointSize, fnd_NominalPointSize, fnd_MinPointSize,
               fnd_MaxHorizontalSize, fnd_NominalHorizontalSize, fnd_MinHorizontalSize, fnd_DesignGeneralClass,
               fnd_DesignSubclass, fnd_DesignSpecificGroup, fnd_Reserved1, fnd_Reserved2, fnd_DesignFlags,
               fnd_Reserved3, fnd_Reserved4, fnd_GCSGID, fnd_FGID, fnd_Triplets)

// Container Data Descriptor: 12 bytes of retired parameters (older writers fill them with
// units and a size, read as such here), then triplets.
struct CDD {
    N3 cdd_Type; N3 cdd_; N1 cdd_XBase; N1 cdd_YBase; N2 cdd_XUnits; N2 cdd_YUnits; N3 cdd_XSize; N3 cdd_YSize;
    Chunks<T_> cdd_Triplets;
    friend bool operator==(const CDD&, const CDD&) = default;
};
PRESSEL_RECORD(AFP_, CDD, cdd_Type, cdd_, cdd_XBase, cdd_YBase, cdd_XUnits, cdd_YUnits, cdd_XSize, cdd_YSize,
               cdd_Triplets)

// Presentation Text Descriptor, format 1: units of measure, 2-byte text extents, reserved.
struct PTD1 {
    N3 ptd1_Type; N3 ptd1_; N1 ptd1_XBase; N1 ptd1_YBase; N2 ptd1_XUnits; N2 ptd1_YUnits; N2 ptd1_XSize;
    N2 ptd1_YSize; A2 ptd1_Reserved;
    friend bool operator==(const PTD1&, const PTD1&) = default;
};
PRESSEL_RECORD(AFP_, PTD1, ptd1_Type, ptd1_, ptd1_XBase, ptd1_YBase, ptd1_XUnits, ptd1_YUnits, ptd1_XSize,
               ptd1_YSize, ptd1_Reserved)

// Graphics Data Descriptor: descriptor data of the graphics object architecture.
struct GDD {
    N3 gdd_Type; N3 gdd_; Buffer0 gdd_Data;
    friend bool operator==(const GDD&, const GDD&) = default;
};
PRESSEL_RECORD(AFP_, GDD, gdd_Type, gdd_, gdd_Data)

// Form Environment Group Descriptor (obsolete): the constant X'000100FF' as two A2 fields.
struct FGD {
    N3 fgd_Type; N3 fgd_; A2 fgd_ConstantData1; A2 fgd_ConstantData2;
    friend bool operator==(const FGD&, const FGD&) = default;
};
PRESSEL_RECORD(AFP_, FGD, fgd_Type, fgd_, fgd_ConstantData1, fgd_ConstantData2)

// Data Map Transmission Subcase Descriptor: the constant X'000100FF' as two A2 fields.
struct DXD {
    N3 dxd_Type; N3 dxd_; A2 dxd_ConstantData1; A2 dxd_ConstantData2;
    friend bool operator==(const DXD&, const DXD&) = default;
};
PRESSEL_RECORD(AFP_, DXD, dxd_Type, dxd_, dxd_ConstantData1, dxd_ConstantData2)

// Line Descriptor: the 33 bytes of the short form (flags, position, text orientation, font,
// channel code, the next LNDs for skipping, spacing and reuse, suppression, data start and
// length). The long form adds colour, conditional processing, subpage and CCP ids and
// triplets; short descriptors are valid, so those stay in lnd_Data.
struct LND {
    N3 lnd_Type; N3 lnd_; N2 lnd_Flags; N2 lnd_InlinePosition; N2 lnd_BaselinePosition; N2 lnd_IOrientation;
    N2 lnd_BOrientation; N1 lnd_FontLocalId; N1 lnd_ChannelCode; N2 lnd_NextSkipping; N2 lnd_NextSpacing;
    N2 lnd_NextReuse; A8 lnd_SuppressionName; N1 lnd_SuppressionLocalId; N4 lnd_DataStart; N2 lnd_DataLength;
    Buffer0 lnd_Data;
    friend bool operator==(const LND&, const LND&) = default;
};
PRESSEL_RECORD(AFP_, LND, lnd_Type, lnd_, lnd_Flags, lnd_InlinePosition, lnd_BaselinePosition, lnd_IOrientation,
               lnd_BOrientation, lnd_FontLocalId, lnd_ChannelCode, lnd_NextSkipping, lnd_NextSpacing,
               lnd_NextReuse, lnd_SuppressionName, lnd_SuppressionLocalId, lnd_DataStart, lnd_DataLength,
               lnd_Data)

// Bar Code Data Descriptor: descriptor data of the bar code object architecture.
struct BDD {
    N3 bdd_Type; N3 bdd_; Buffer0 bdd_Data;
    friend bool operator==(const BDD&, const BDD&) = default;
};
PRESSEL_RECORD(AFP_, BDD, bdd_Type, bdd_, bdd_Data)

// Image Data Descriptor: descriptor data of the image object architecture.
struct IDD {
    N3 idd_Type; N3 idd_; Buffer0 idd_Data;
    friend bool operator==(const IDD&, const IDD&) = default;
};
PRESSEL_RECORD(AFP_, IDD, idd_Type, idd_, idd_Data)

struct MMC_Data {
    N1 mmc_Keyword; N1 mmc_Value;
    friend bool operator==(const MMC_Data&, const MMC_Data&) = default;
};
PRESSEL_GROUP_RECORD(MMC_Data, mmc_Keyword, mmc_Value)

// Medium Modification Control: its id, the constant X'FF', then keyword/value pairs in
// ascending keyword order.
struct MMC {
    N3 mmc_Type; N3 mmc_; N1 mmc_Id; A1 mmc_Constant; std::vector<Record<MMC_Data>> mmc_Data;
    friend bool operator==(const MMC&, const MMC&) = default;
};
PRESSEL_RECORD(AFP_, MMC, mmc_Type, mmc_, mmc_Id, mmc_Constant, mmc_Data)

// Font Control: pattern technology (X'05' raster, X'1E' CID, X'1F' Type 1), units, the
// largest character box, the repeating-group lengths of FNO, FNI, FNP and FNM and the raster
// pattern data count. Everything after byte 22 (resolution, outline data count, the FNN
// group length and counts, triplets) is optional and stays in fnc_Data.
struct FNC {
    N3 fnc_Type; N3 fnc_; A1 fnc_Retired; N1 fnc_PatternTechnology; A1 fnc_Reserved1; N1 fnc_Flags;
    N1 fnc_XUnitBase; N1 fnc_YUnitBase; N2 fnc_XUnits; N2 fnc_YUnits; N2 fnc_MaxBoxWidth; N2 fnc_MaxBoxHeight;
    N1 fnc_FNORepeatingGroupLength; N1 fnc_FNIRepeatingGroupLength; N1 fnc_PatternAlignment;
    N3 fnc_RasterPatternDataCount; N1 fnc_FNPRepeatingGroupLength; N1 fnc_FNMRepeatingGroupLength;
    Buffer0 fnc_Data;
    friend bool operator==(const FNC&, const FNC&) = default;
};
PRESSEL_RECORD(AFP_, FNC, fnc_Type, fnc_, fnc_Retired, fnc_PatternTechnology, fnc_Reserved1, fnc_Flags,
               fnc_XUnitBase, fnc_YUnitBase, fnc_XUnits, fnc_YUnits, fnc_MaxBoxWidth, fnc_MaxBoxHeight,
               fnc_FNORepeatingGroupLength, fnc_FNIRepeatingGroupLength, fnc_PatternAlignment,
               fnc_RasterPatternDataCount, fnc_FNPRepeatingGroupLength, fnc_FNMRepeatingGroupLength, fnc_Data)

// Composed Text Control (obsolete): 10 constant bytes.
struct CTC {
    N3 ctc_Type; N3 ctc_; A8 ctc_ConstantData1; A2 ctc_ConstantData2;
    friend bool operator==(const CTC&, const CTC&) = default;
};
PRESSEL_RECORD(AFP_, CTC, ctc_Type, ctc_, ctc_ConstantData1, ctc_ConstantData2)

// Page Modification Control: its id, then triplets.
struct PMC {
    N3 pmc_Type; N3 pmc_; N1 pmc_Id; A1 pmc_Reserved; Chunks<T_> pmc_Triplets;
    friend bool operator==(const PMC&, const PMC&) = default;
};
PRESSEL_RECORD(AFP_, PMC, pmc_Type, pmc_, pmc_Id, pmc_Reserved, pmc_Triplets)

struct BPS {
    N3 bps_Type; N3 bps_; Opt<A8> bps_Name; Chunks<T_> bps_Triplets;
    friend bool operator==(const BPS&, const BPS&) = default;
};
PRESSEL_RECORD(AFP_, BPS, bps_Type, bps_, bps_Name, bps_Triplets)

struct BCA {
    N3 bca_Type; N3 bca_; Opt<A8> bca_Name; Chunks<T_> bca_Triplets;
    friend bool operator==(const BCA&, const BCA&) = default;
};
PRESSEL_RECORD(AFP_, BCA, bca_Type, bca_, bca_Name, bca_Triplets)

struct BII {
    N3 bii_Type; N3 bii_; Opt<A8> bii_Name; Chunks<T_> bii_Triplets;
    friend bool operator==(const BII&, const BII&) = default;
};
PRESSEL_RECORD(AFP_, BII, bii_Type, bii_, bii_Name, bii_Triplets)

struct BCP {
    N3 bcp_Type; N3 bcp_; Opt<A8> bcp_Name; Chunks<T_> bcp_Triplets;
    friend bool operator==(const BCP&, const BCP&) = default;
};
PRESSEL_RECORD(AFP_, BCP, bcp_Type, bcp_, bcp_Name, bcp_Triplets)

struct BFN {
    N3 bfn_Type; N3 bfn_; Opt<A8> bfn_Name; Chunks<T_> bfn_Triplets;
    friend bool operator==(const BFN&, const BFN&) = default;
};
PRESSEL_RECORD(AFP_, BFN, bfn_Type, bfn_, bfn_Name, bfn_Triplets)

struct BCF {
    N3 bcf_Type; N3 bcf_; Opt<A8> bcf_Name; Chunks<T_> bcf_Triplets;
    friend bool operator==(const BCF&, const BCF&) = default;
};
PRESSEL_RECORD(AFP_, BCF, bcf_Type, bcf_, bcf_Name, bcf_Triplets)

struct BOC {
    N3 boc_Type; N3 boc_; Opt<A8> boc_Name; Chunks<T_> boc_Triplets;
    friend bool operator==(const BOC&, const BOC&) = default;
};
PRESSEL_RECORD(AFP_, BOC, boc_Type, boc_, boc_Name, boc_Triplets)

struct BPT {
    N3 bpt_Type; N3 bpt_; Opt<A8> bpt_Name; Chunks<T_> bpt_Triplets;
    friend bool operator==(const BPT&, const BPT&) = default;
};
PRESSEL_RECORD(AFP_, BPT, bpt_Type, bpt_, bpt_Name, bpt_Triplets)

struct BDI {
    N3 bdi_Type; N3 bdi_; Opt<A8> bdi_Name; Chunks<T_> bdi_Triplets;
    friend bool operator==(const BDI&, const BDI&) = default;
};
PRESSEL_RECORD(AFP_, BDI, bdi_Type, bdi_, bdi_Name, bdi_Triplets)

// Begin Document: the document's name, then two reserved bytes and triplets. Writers
// leave the reserved bytes out when no triplets follow, so they are optional.
struct BDT {
    N3 bdt_Type; N3 bdt_; Opt<A8> bdt_Name; Opt<A2> bdt_Reserved; Chunks<T_> bdt_Triplets;
    friend bool operator==(const BDT&, const BDT&) = default;
};
PRESSEL_RECORD(AFP_, BDT, bdt_Type, bdt_, bdt_Name, bdt_Reserved, bdt_Triplets)

struct BNG {
    N3 bng_Type; N3 bng_; Opt<A8> bng_Name; Chunks<T_> bng_Triplets;
    friend bool operator==(const BNG&, const BNG&) = default;
};
PRESSEL_RECORD(AFP_, BNG, bng_Type, bng_, bng_Name, bng_Triplets)

struct BPG {
    N3 bpg_Type; N3 bpg_; Opt<A8> bpg_Name; Chunks<T_> bpg_Triplets;
    friend bool operator==(const BPG&, const BPG&) = default;
};
PRESSEL_RECORD(AFP_, BPG, bpg_Type, bpg_, bpg_Name, bpg_Triplets)

struct BGR {
    N3 bgr_Type; N3 bgr_; Opt<A8> bgr_Name; Chunks<T_> bgr_Triplets;
    friend bool operator==(const BGR&, const BGR&) = default;
};
PRESSEL_RECORD(AFP_, BGR, bgr_Type, bgr_, bgr_Name, bgr_Triplets)

struct BDG {
    N3 bdg_Type; N3 bdg_; Opt<A8> bdg_Name; Chunks<T_> bdg_Triplets;
    friend bool operator==(const BDG&, const BDG&) = default;
};
PRESSEL_RECORD(AFP_, BDG, bdg_Type, bdg_, bdg_Name, bdg_Triplets)

struct BFG {
    N3 bfg_Type; N3 bfg_; Opt<A8> bfg_Name; Chunks<T_> bfg_Triplets;
    friend bool operator==(const BFG&, const BFG&) = default;
};
PRESSEL_RECORD(AFP_, BFG, bfg_Type, bfg_, bfg_Name, bfg_Triplets)

struct BRG {
    N3 brg_Type; N3 brg_; Opt<A8> brg_Name; Chunks<T_> brg_Triplets;
    friend bool operator==(const BRG&, const BRG&) = default;
};
PRESSEL_RECORD(AFP_, BRG, brg_Type, brg_, brg_Name, brg_Triplets)

struct BOG {
    N3 bog_Type; N3 bog_; Opt<A8> bog_Name; Chunks<T_> bog_Triplets;
    friend bool operator==(const BOG&, const BOG&) = default;
};
PRESSEL_RECORD(AFP_, BOG, bog_Type, bog_, bog_Name, bog_Triplets)

struct BAG {
    N3 bag_Type; N3 bag_; Opt<A8> bag_Name; Chunks<T_> bag_Triplets;
    friend bool operator==(const BAG&, const BAG&) = default;
};
PRESSEL_RECORD(AFP_, BAG, bag_Type, bag_, bag_Name, bag_Triplets)

// Begin Data Map: the data format (X'00' line descriptors, X'01' record descriptors, X'02' XML
// descriptors) follows the name.
struct BDM {
    N3 bdm_Type; N3 bdm_; Opt<A8> bdm_Name; Opt<N1> bdm_DataFormat; Chunks<T_> bdm_Triplets;
    friend bool operator==(const BDM&, const BDM&) = default;
};
PRESSEL_RECORD(AFP_, BDM, bdm_Type, bdm_, bdm_Name, bdm_DataFormat, bdm_Triplets)

struct BPM {
    N3 bpm_Type; N3 bpm_; Opt<A8> bpm_Name; Chunks<T_> bpm_Triplets;
    friend bool operator==(const BPM&, const BPM&) = default;
};
PRESSEL_RECORD(AFP_, BPM, bpm_Type, bpm_, bpm_Name, bpm_Triplets)

struct BMM {
    N3 bmm_Type; N3 bmm_; Opt<A8> bmm_Name; Chunks<T_> bmm_Triplets;
    friend bool operator==(const BMM&, const BMM&) = default;
};
PRESSEL_RECORD(AFP_, BMM, bmm_Type, bmm_, bmm_Name, bmm_Triplets)

struct BFM {
    N3 bfm_Type; N3 bfm_; Opt<A8> bfm_Name; Chunks<T_> bfm_Triplets;
    friend bool operator==(const BFM&, const BFM&) = default;
};
PRESSEL_RECORD(AFP_, BFM, bfm_Type, bfm_, bfm_Name, bfm_Triplets)

struct BR {
    N3 br_Type; N3 br_; Opt<A8> br_Name; Opt<A2> br_Reserved; Chunks<T_> br_Triplets;
    friend bool operator==(const BR&, const BR&) = default;
};
PRESSEL_RECORD(AFP_, BR, br_Type, br_, br_Name, br_Reserved, br_Triplets)

struct BSG {
    N3 bsg_Type; N3 bsg_; Opt<A8> bsg_Name; Chunks<T_> bsg_Triplets;
    friend bool operator==(const BSG&, const BSG&) = default;
};
PRESSEL_RECORD(AFP_, BSG, bsg_Type, bsg_, bsg_Name, bsg_Triplets)

struct BMO {
    N3 bmo_Type; N3 bmo_; Opt<A8> bmo_Name; Chunks<T_> bmo_Triplets;
    friend bool operator==(const BMO&, const BMO&) = default;
};
PRESSEL_RECORD(AFP_, BMO, bmo_Type, bmo_, bmo_Name, bmo_Triplets)

struct BDX {
    N3 bdx_Type; N3 bdx_; Opt<A8> bdx_Name; Chunks<T_> bdx_Triplets;
    friend bool operator==(const BDX&, const BDX&) = default;
};
PRESSEL_RECORD(AFP_, BDX, bdx_Type, bdx_, bdx_Name, bdx_Triplets)

struct BBC {
    N3 bbc_Type; N3 bbc_; Opt<A8> bbc_Name; Chunks<T_> bbc_Triplets;
    friend bool operator==(const BBC&, const BBC&) = default;
};
PRESSEL_RECORD(AFP_, BBC, bbc_Type, bbc_, bbc_Name, bbc_Triplets)

struct BIM {
    N3 bim_Type; N3 bim_; Opt<A8> bim_Name; Chunks<T_> bim_Triplets;
    friend bool operator==(const BIM&, const BIM&) = default;
};
PRESSEL_RECORD(AFP_, BIM, bim_Type, bim_, bim_Name, bim_Triplets)

struct EPS {
    N3 eps_Type; N3 eps_; Opt<A8> eps_Name; Chunks<T_> eps_Triplets;
    friend bool operator==(const EPS&, const EPS&) = default;
};
PRESSEL_RECORD(AFP_, EPS, eps_Type, eps_, eps_Name, eps_Triplets)

struct ECA {
    N3 eca_Type; N3 eca_; Opt<A8> eca_Name; Chunks<T_> eca_Triplets;
    friend bool operator==(const ECA&, const ECA&) = default;
};
PRESSEL_RECORD(AFP_, ECA, eca_Type, eca_, eca_Name, eca_Triplets)

struct EII {
    N3 eii_Type; N3 eii_; Opt<A8> eii_Name; Chunks<T_> eii_Triplets;
    friend bool operator==(const EII&, const EII&) = default;
};
PRESSEL_RECORD(AFP_, EII, eii_Type, eii_, eii_Name, eii_Triplets)

struct ECP {
    N3 ecp_Type; N3 ecp_; Opt<A8> ecp_Name; Chunks<T_> ecp_Triplets;
    friend bool operator==(const ECP&, const ECP&) = default;
};
PRESSEL_RECORD(AFP_, ECP, ecp_Type, ecp_, ecp_Name, ecp_Triplets)

struct EFN {
    N3 efn_Type; N3 efn_; Opt<A8> efn_Name; Chunks<T_> efn_Triplets;
    friend bool operator==(const EFN&, const EFN&) = default;
};
PRESSEL_RECORD(AFP_, EFN, efn_Type, efn_, efn_Name, efn_Triplets)

struct ECF {
    N3 ecf_Type; N3 ecf_; Opt<A8> ecf_Name; Chunks<T_> ecf_Triplets;
    friend bool operator==(const ECF&, const ECF&) = default;
};
PRESSEL_RECORD(AFP_, ECF, ecf_Type, ecf_, ecf_Name, ecf_Triplets)

struct EOC {
    N3 eoc_Type; N3 eoc_; Opt<A8> eoc_Name; Chunks<T_> eoc_Triplets;
    friend bool operator==(const EOC&, const EOC&) = default;
};
PRESSEL_RECORD(AFP_, EOC, eoc_Type, eoc_, eoc_Name, eoc_Triplets)

struct EPT {
    N3 ept_Type; N3 ept_; Opt<A8> ept_Name; Chunks<T_> ept_Triplets;
    friend bool operator==(const EPT&, const EPT&) = default;
};
PRESSEL_RECORD(AFP_, EPT, ept_Type, ept_, ept_Name, ept_Triplets)

struct EDI {
    N3 edi_Type; N3 edi_; Opt<A8> edi_Name; Chunks<T_> edi_Triplets;
    friend bool operator==(const EDI&, const EDI&) = default;
};
PRESSEL_RECORD(AFP_, EDI, edi_Type, edi_, edi_Name, edi_Triplets)

struct EDT {
    N3 edt_Type; N3 edt_; Opt<A8> edt_Name; Chunks<T_> edt_Triplets;
    friend bool operator==(const EDT&, const EDT&) = default;
};
PRESSEL_RECORD(AFP_, EDT, edt_Type, edt_, edt_Name, edt_Triplets)

struct ENG {
    N3 eng_Type; N3 eng_; Opt<A8> eng_Name; Chunks<T_> eng_Triplets;
    friend bool operator==(const ENG&, const ENG&) = default;
};
PRESSEL_RECORD(AFP_, ENG, eng_Type, eng_, eng_Name, eng_Triplets)

struct EPG {
    N3 epg_Type; N3 epg_; Opt<A8> epg_Name; Chunks<T_> epg_Triplets;
    friend bool operator==(const EPG&, const EPG&) = default;
};
PRESSEL_RECORD(AFP_, EPG, epg_Type, epg_, epg_Name, epg_Triplets)

struct EGR {
    N3 egr_Type; N3 egr_; Opt<A8> egr_Name; Chunks<T_> egr_Triplets;
    friend bool operator==(const EGR&, const EGR&) = default;
};
PRESSEL_RECORD(AFP_, EGR, egr_Type, egr_, egr_Name, egr_Triplets)

struct EDG {
    N3 edg_Type; N3 edg_; Opt<A8> edg_Name; Chunks<T_> edg_Triplets;
    friend bool operator==(const EDG&, const EDG&) = default;
};
PRESSEL_RECORD(AFP_, EDG, edg_Type, edg_, edg_Name, edg_Triplets)

struct EFG {
    N3 efg_Type; N3 efg_; Opt<A8> efg_Name; Chunks<T_> efg_Triplets;
    friend bool operator==(const EFG&, const EFG&) = default;
};
PRESSEL_RECORD(AFP_, EFG, efg_Type, efg_, efg_Name, efg_Triplets)

struct ERG {
    N3 erg_Type; N3 erg_; Opt<A8> erg_Name; Chunks<T_> erg_Triplets;
    friend bool operator==(const ERG&, const ERG&) = default;
};
PRESSEL_RECORD(AFP_, ERG, erg_Type, erg_, erg_Name, erg_Triplets)

struct EOG {
    N3 eog_Type; N3 eog_; Opt<A8> eog_Name; Chunks<T_> eog_Triplets;
    friend bool operator==(const EOG&, const EOG&) = default;
};
PRESSEL_RECORD(AFP_, EOG, eog_Type, eog_, eog_Name, eog_Triplets)

struct EAG {
    N3 eag_Type; N3 eag_; Opt<A8> eag_Name; Chunks<T_> eag_Triplets;
    friend bool operator==(const EAG&, const EAG&) = default;
};
PRESSEL_RECORD(AFP_, EAG, eag_Type, eag_, eag_Name, eag_Triplets)

struct EDM {
    N3 edm_Type; N3 edm_; Opt<A8> edm_Name; Chunks<T_> edm_Triplets;
    friend bool operator==(const EDM&, const EDM&) = default;
};
PRESSEL_RECORD(AFP_, EDM, edm_Type, edm_, edm_Name, edm_Triplets)

struct EPM {
    N3 epm_Type; N3 epm_; Opt<A8> epm_Name; Chunks<T_> epm_Triplets;
    friend bool operator==(const EPM&, const EPM&) = default;
};
PRESSEL_RECORD(AFP_, EPM, epm_Type, epm_, epm_Name, epm_Triplets)

struct EMM {
    N3 emm_Type; N3 emm_; Opt<A8> emm_Name; Chunks<T_> emm_Triplets;
    friend bool operator==(const EMM&, const EMM&) = default;
};
PRESSEL_RECORD(AFP_, EMM, emm_Type, emm_, emm_Name, emm_Triplets)

struct EFM {
    N3 efm_Type; N3 efm_; Opt<A8> efm_Name; Chunks<T_> efm_Triplets;
    friend bool operator==(const EFM&, const EFM&) = default;
};
PRESSEL_RECORD(AFP_, EFM, efm_Type, efm_, efm_Name, efm_Triplets)

struct ESG {
    N3 esg_Type; N3 esg_; Opt<A8> esg_Name; Chunks<T_> esg_Triplets;
    friend bool operator==(const ESG&, const ESG&) = default;
};
PRESSEL_RECORD(AFP_, ESG, esg_Type, esg_, esg_Name, esg_Triplets)

struct EMO {
    N3 emo_Type; N3 emo_; Opt<A8> emo_Name; Chunks<T_> emo_Triplets;
    friend bool operator==(const EMO&, const EMO&) = default;
};
PRESSEL_RECORD(AFP_, EMO, emo_Type, emo_, emo_Name, emo_Triplets)

struct EDX {
    N3 edx_Type; N3 edx_; Opt<A8> edx_Name; Chunks<T_> edx_Triplets;
    friend bool operator==(const EDX&, const EDX&) = default;
};
PRESSEL_RECORD(AFP_, EDX, edx_Type, edx_, edx_Name, edx_Triplets)

struct EBC {
    N3 ebc_Type; N3 ebc_; Opt<A8> ebc_Name; Chunks<T_> ebc_Triplets;
    friend bool operator==(const EBC&, const EBC&) = default;
};
PRESSEL_RECORD(AFP_, EBC, ebc_Type, ebc_, ebc_Name, ebc_Triplets)

struct EIM {
    N3 eim_Type; N3 eim_; Opt<A8> eim_Name; Chunks<T_> eim_Triplets;
    friend bool operator==(const EIM&, const EIM&) = default;
};
PRESSEL_RECORD(AFP_, EIM, eim_Type, eim_, eim_Name, eim_Triplets)

// Line Descriptor Count: the number of line (record, XML) descriptors that follow.
struct LNC {
    N3 lnc_Type; N3 lnc_; N2 lnc_Count;
    friend bool operator==(const LNC&, const LNC&) = default;
};
PRESSEL_RECORD(AFP_, LNC, lnc_Type, lnc_, lnc_Count)

struct MCA {
    N3 mca_Type; N3 mca_; Chunks<MCF_> mca_Groups;
    friend bool operator==(const MCA&, const MCA&) = default;
};
PRESSEL_RECORD(AFP_, MCA, mca_Type, mca_, mca_Groups)

struct MMT {
    N3 mmt_Type; N3 mmt_; Chunks<MCF_> mmt_Groups;
    friend bool operator==(const MMT&, const MMT&) = default;
};
PRESSEL_RECORD(AFP_, MMT, mmt_Type, mmt_, mmt_Groups)

// Font Name Map: the two id formats, then 12-byte groups (GCGID, offset of the name) and
// after them the names, each opened by its own length byte. How many groups there are is
// only known from FNC (its FNN data count), so groups and names stay in fnn_Data.
struct FNN {
    N3 fnn_Type; N3 fnn_; N1 fnn_IBMIdFormat; N1 fnn_TechnologyIdFormat; Buffer0 fnn_Data;
    friend bool operator==(const FNN&, const FNN&) = default;
};
PRESSEL_RECORD(AFP_, FNN, fnn_Type, fnn_, fnn_IBMIdFormat, fnn_TechnologyIdFormat, fnn_Data)

struct MCD {
    N3 mcd_Type; N3 mcd_; Chunks<MCF_> mcd_Groups;
    friend bool operator==(const MCD&, const MCD&) = default;
};
PRESSEL_RECORD(AFP_, MCD, mcd_Type, mcd_, mcd_Groups)

struct MPG {
    N3 mpg_Type; N3 mpg_; Chunks<MCF_> mpg_Groups;
    friend bool operator==(const MPG&, const MPG&) = default;
};
PRESSEL_RECORD(AFP_, MPG, mpg_Type, mpg_, mpg_Groups)

// Invoke Medium Map: the medium map's name, then triplets.
struct IMM {
    N3 imm_Type; N3 imm_; A8 imm_MediumMapName; Chunks<T_> imm_Triplets;
    friend bool operator==(const IMM&, const IMM&) = default;
};
PRESSEL_RECORD(AFP_, IMM, imm_Type, imm_, imm_MediumMapName, imm_Triplets)

struct MPO {
    N3 mpo_Type; N3 mpo_; Chunks<MCF_> mpo_Groups;
    friend bool operator==(const MPO&, const MPO&) = default;
};
PRESSEL_RECORD(AFP_, MPO, mpo_Type, mpo_, mpo_Groups)

struct MBC {
    N3 mbc_Type; N3 mbc_; Chunks<MCF_> mbc_Groups;
    friend bool operator==(const MBC&, const MBC&) = default;
};
PRESSEL_RECORD(AFP_, MBC, mbc_Type, mbc_, mbc_Groups)

struct MIO {
    N3 mio_Type; N3 mio_; Chunks<MCF_> mio_Groups;
    friend bool operator==(const MIO&, const MIO&) = default;
};
PRESSEL_RECORD(AFP_, MIO, mio_Type, mio_, mio_Groups)

// Object Area Position: the position id (matched by the OBD's descriptor position), the
// group length (23), the object area's offset and orientation, the object content's offset
// and orientation, and the reference coordinate system. The 3-byte offsets are signed.
// Anything after the 24 bytes is kept in obp_Data.
struct OBP {
    N3 obp_Type; N3 obp_; N1 obp_PositionId; N1 obp_RepeatingGroupLength; I3 obp_XOffset; I3 obp_YOffset;
    N2 obp_XOrientation; N2 obp_YOrientation; A1 obp_Reserved; I3 obp_XContentOffset; I3 obp_YContentOffset;
    N2 obp_XContentOrientation; N2 obp_YContentOrientation; N1 obp_ReferenceCoordinateSystem; Buffer0 obp_Data;
    friend bool operator==(const OBP&, const OBP&) = default;
};
PRESSEL_RECORD(AFP_, OBP, obp_Type, obp_, obp_PositionId, obp_RepeatingGroupLength, obp_XOffset, obp_YOffset,
               obp_XOrientation, obp_YOrientation, obp_Reserved, obp_XContentOffset, obp_YContentOffset,
               obp_XContentOrientation, obp_YContentOrientation, obp_ReferenceCoordinateSystem, obp_Data)

struct FNP_Data {
    A2 fnp_Reserved1; I2 fnp_LowercaseHeight; I2 fnp_CapMHeight; I2 fnp_MaxAscenderHeight;
    I2 fnp_MaxDescenderDepth; A3 fnp_Reserved2; A2 fnp_Reserved3; A1 fnp_Retired; A1 fnp_Reserved4;
    N2 fnp_UnderscoreWidth; N1 fnp_UnderscoreWidthFraction; I2 fnp_UnderscorePosition;
    friend bool operator==(const FNP_Data&, const FNP_Data&) = default;
};
PRESSEL_GROUP_RECORD(FNP_Data, fnp_Reserved1, fnp_LowercaseHeight, fnp_CapMHeight, fnp_MaxAscenderHeight,
                     fnp_MaxDescenderDepth, fnp_Reserved2, fnp_Reserved3, fnp_Retired, fnp_Reserved4,
                     fnp_UnderscoreWidth, fnp_UnderscoreWidthFraction, fnp_UnderscorePosition)

// Font Position: one 22-byte group per font orientation.
struct FNP {
    N3 fnp_Type; N3 fnp_; std::vector<Record<FNP_Data>> fnp_Data;
    friend bool operator==(const FNP&, const FNP&) = default;
};
PRESSEL_RECORD(AFP_, FNP, fnp_Type, fnp_, fnp_Data)

// Page Position, format 1: the page origin on the medium (signed).
struct PGP1 {
    N3 pgp1_Type; N3 pgp1_; I3 pgp1_XOffset; I3 pgp1_YOffset;
    friend bool operator==(const PGP1&, const PGP1&) = default;
};
PRESSEL_RECORD(AFP_, PGP1, pgp1_Type, pgp1_, pgp1_XOffset, pgp1_YOffset)

// Include Page Segment: the segment's name and its origin (signed), then triplets.
struct IPS {
    N3 ips_Type; N3 ips_; A8 ips_PageSegmentName; I3 ips_XOffset; I3 ips_YOffset; Chunks<T_> ips_Triplets;
    friend bool operator==(const IPS&, const IPS&) = default;
};
PRESSEL_RECORD(AFP_, IPS, ips_Type, ips_, ips_PageSegmentName, ips_XOffset, ips_YOffset, ips_Triplets)

// Include Page: the page's name, reserved bytes, flags, then triplets.
struct IPG {
    N3 ipg_Type; N3 ipg_; A8 ipg_PageName; A8 ipg_Reserved; N1 ipg_Flags; Chunks<T_> ipg_Triplets;
    friend bool operator==(const IPG&, const IPG&) = default;
};
PRESSEL_RECORD(AFP_, IPG, ipg_Type, ipg_, ipg_PageName, ipg_Reserved, ipg_Flags, ipg_Triplets)

// Include Object: the object's name and type (X'5F' page segment, X'92' other, X'9B' text,
// X'BB' graphics, X'EB' bar code, X'FB' image), the object area's offset and orientation,
// the content's offset, the reference coordinate system, then triplets. 3-byte offsets are
// signed (X'FFFFFF', -1, leaves the offset to the object's own position).
struct IOB {
    N3 iob_Type; N3 iob_; A8 iob_ObjectName; A1 iob_Reserved; N1 iob_ObjectType; I3 iob_XOffset; I3 iob_YOffset;
    N2 iob_XOrientation; N2 iob_YOrientation; I3 iob_XContentOffset; I3 iob_YContentOffset;
    N1 iob_ReferenceCoordinateSystem; Chunks<T_> iob_Triplets;
    friend bool operator==(const IOB&, const IOB&) = default;
};
PRESSEL_RECORD(AFP_, IOB, iob_Type, iob_, iob_ObjectName, iob_Reserved, iob_ObjectType, iob_XOffset, iob_YOffset,
               iob_XOrientation, iob_YOrientation, iob_XContentOffset, iob_YContentOffset,
               iob_ReferenceCoordinateSystem, iob_Triplets)

// Include Page Overlay: the overlay's name and origin (signed). The overlay
// orientation that may follow is optional, and triplets come after it, so both stay in
// ipo_Data: empty, or a 2-byte orientation and then any triplets.
struct IPO {
    N3 ipo_Type; N3 ipo_; A8 ipo_OverlayName; I3 ipo_XOffset; I3 ipo_YOffset; Buffer0 ipo_Data;
    friend bool operator==(const IPO&, const IPO&) = default;
};
PRESSEL_RECORD(AFP_, IPO, ipo_Type, ipo_, ipo_OverlayName, ipo_XOffset, ipo_YOffset, ipo_Data)

// Color Attribute Table: table data.
struct CAT {
    N3 cat_Type; N3 cat_; Buffer0 cat_Data;
    friend bool operator==(const CAT&, const CAT&) = default;
};
PRESSEL_RECORD(AFP_, CAT, cat_Type, cat_, cat_Data)

struct MPS_Data {
    A2 mps_Reserved1; A2 mps_Reserved2; A8 mps_PageSegmentName;
    friend bool operator==(const MPS_Data&, const MPS_Data&) = default;
};
PRESSEL_GROUP_RECORD(MPS_Data, mps_Reserved1, mps_Reserved2, mps_PageSegmentName)

// Map Page Segment: the group length (12), three reserved bytes, then 12-byte groups.
struct MPS {
    N3 mps_Type; N3 mps_; N1 mps_RepeatingGroupLength; A3 mps__; std::vector<Record<MPS_Data>> mps_Data;
    friend bool operator==(const MPS&, const MPS&) = default;
};
PRESSEL_RECORD(AFP_, MPS, mps_Type, mps_, mps_RepeatingGroupLength, mps__, mps_Data)

// Page Position, format 2: the constant X'01', then groups of 10 to 12 bytes, each opened by
// its own length byte (offset, orientation, sheet side, then optional flags and PMC id). The
// groups differ in length, so they do not fit a fixed-size group record and are kept as bytes.
struct PGP {
    N3 pgp_Type; N3 pgp_; N1 pgp_Constant; Buffer0 pgp_Data;
    friend bool operator==(const PGP&, const PGP&) = default;
};
PRESSEL_RECORD(AFP_, PGP, pgp_Type, pgp_, pgp_Constant, pgp_Data)

struct MMO_Data {
    N1 mmo_OverlayLocalId; A1 mmo_Flags; A2 mmo_Reserved; A8 mmo_OverlayName;
    friend bool operator==(const MMO_Data&, const MMO_Data&) = default;
};
PRESSEL_GROUP_RECORD(MMO_Data, mmo_OverlayLocalId, mmo_Flags, mmo_Reserved, mmo_OverlayName)

// Map Medium Overlay: the group length (12), three reserved bytes, then 12-byte groups.
struct MMO {
    N3 mmo_Type; N3 mmo_; N1 mmo_RepeatingGroupLength; A3 mmo__; std::vector<Record<MMO_Data>> mmo_Data;
    friend bool operator==(const MMO&, const MMO&) = default;
};
PRESSEL_RECORD(AFP_, MMO, mmo_Type, mmo_, mmo_RepeatingGroupLength, mmo__, mmo_Data)

// Presentation Fidelity Control: flags, then the fidelity triplets.
struct PFC {
    N3 pfc_Type; N3 pfc_; A1 pfc_Reserved1; N1 pfc_Flags; A2 pfc_Reserved2; Chunks<T_> pfc_Triplets;
    friend bool operator==(const PFC&, const PFC&) = default;
};
PRESSEL_RECORD(AFP_, PFC, pfc_Type, pfc_, pfc_Reserved1, pfc_Flags, pfc_Reserved2, pfc_Triplets)

// Index Element: triplets only.
struct IEL {
    N3 iel_Type; N3 iel_; Chunks<T_> iel_Triplets;
    friend bool operator==(const IEL&, const IEL&) = default;
};
PRESSEL_RECORD(AFP_, IEL, iel_Type, iel_, iel_Triplets)

// Link Logical Element: the link type, then groups with a 2-byte length (framed like the
// groups of MCF). Each group opens with its function byte before its triplets, so reading a
// group's bytes as triplets (MCF_T) does not apply; the group bytes are kept whole.
struct LLE {
    N3 lle_Type; N3 lle_; N1 lle_LinkType; A1 lle_Reserved; Chunks<MCF_> lle_Groups;
    friend bool operator==(const LLE&, const LLE&) = default;
};
PRESSEL_RECORD(AFP_, LLE, lle_Type, lle_, lle_LinkType, lle_Reserved, lle_Groups)

// IM Image Raster Data: raster bytes.
struct IRD {
    N3 ird_Type; N3 ird_; Buffer0 ird_Data;
    friend bool operator==(const IRD&, const IRD&) = default;
};
PRESSEL_RECORD(AFP_, IRD, ird_Type, ird_, ird_Data)

// Font Patterns: raster patterns or outline font data.
struct FNG {
    N3 fng_Type; N3 fng_; Buffer0 fng_Data;
    friend bool operator==(const FNG&, const FNG&) = default;
};
PRESSEL_RECORD(AFP_, FNG, fng_Type, fng_, fng_Data)

// Object Container Data: the object's bytes.
struct OCD {
    N3 ocd_Type; N3 ocd_; Buffer0 ocd_Data;
    friend bool operator==(const OCD&, const OCD&) = default;
};
PRESSEL_RECORD(AFP_, OCD, ocd_Type, ocd_, ocd_Data)

// Graphics Data: drawing orders.
struct GAD {
    N3 gad_Type; N3 gad_; Buffer0 gad_Data;
    friend bool operator==(const GAD&, const GAD&) = default;
};
PRESSEL_RECORD(AFP_, GAD, gad_Type, gad_, gad_Data)

// Bar Code Data: bar code object data.
struct BDA {
    N3 bda_Type; N3 bda_; Buffer0 bda_Data;
    friend bool operator==(const BDA&, const BDA&) = default;
};
PRESSEL_RECORD(AFP_, BDA, bda_Type, bda_, bda_Data)

// No Operation: any bytes (often a comment).
struct NOP {
    N3 nop_Type; N3 nop_; Buffer0 nop_Data;
    friend bool operator==(const NOP&, const NOP&) = default;
};
PRESSEL_RECORD(AFP_, NOP, nop_Type, nop_, nop_Data)

// Image Picture Data: image self-defining fields.
struct IPD {
    N3 ipd_Type; N3 ipd_; Buffer0 ipd_Data;
    friend bool operator==(const IPD&, const IPD&) = default;
};
PRESSEL_RECORD(AFP_, IPD, ipd_Type, ipd_, ipd_Data)
}  // namespace pressel

// ---- structured fields beyond the MO:DCA table that real files carry ----------------
namespace pressel {

// Presentation Environment Control: two reserved bytes, then triplets.
struct PEC {
    N3 pec_Type; N3 pec_; A2 pec_Reserved; Chunks<T_> pec_Triplets;
    friend bool operator==(const PEC&, const PEC&) = default;
};
PRESSEL_RECORD(AFP_, PEC, pec_Type, pec_, pec_Reserved, pec_Triplets)

// Begin Print File: the print file's name, then triplets.
struct BPF {
    N3 bpf_Type; N3 bpf_; Opt<A8> bpf_Name; Chunks<T_> bpf_Triplets;
    friend bool operator==(const BPF&, const BPF&) = default;
};
PRESSEL_RECORD(AFP_, BPF, bpf_Type, bpf_, bpf_Name, bpf_Triplets)

// End Print File: the name (optional, as in every End field), then triplets.
struct EPF {
    N3 epf_Type; N3 epf_; Opt<A8> epf_Name; Chunks<T_> epf_Triplets;
    friend bool operator==(const EPF&, const EPF&) = default;
};
PRESSEL_RECORD(AFP_, EPF, epf_Type, epf_, epf_Name, epf_Triplets)

// Map Media Destination: repeating groups with a 2-byte length, each holding triplets.
struct MMD {
    N3 mmd_Type; N3 mmd_; Chunks<MCF_> mmd_Groups;
    friend bool operator==(const MMD&, const MMD&) = default;
};
PRESSEL_RECORD(AFP_, MMD, mmd_Type, mmd_, mmd_Groups)

// Map Presentation Text: repeating groups with a 2-byte length (a mapping option).
struct MPT {
    N3 mpt_Type; N3 mpt_; Chunks<MCF_> mpt_Groups;
    friend bool operator==(const MPT&, const MPT&) = default;
};
PRESSEL_RECORD(AFP_, MPT, mpt_Type, mpt_, mpt_Groups)

// Preprocess Presentation Object: repeating groups with a 2-byte length. Each group holds
// the object type, processing flags and the content offset before its triplets (as in LLE,
// the group bytes are kept whole).
struct PPO {
    N3 ppo_Type; N3 ppo_; Chunks<MCF_> ppo_Groups;
    friend bool operator==(const PPO&, const PPO&) = default;
};
PRESSEL_RECORD(AFP_, PPO, ppo_Type, ppo_, ppo_Groups)

// The page-definition fields of line data whose parameters are kept as bytes: Record
// Descriptor, XML Descriptor, Conditional Processing Control, Fixed Data Size and Fixed
// Data Text.
struct RCD {
    N3 rcd_Type; N3 rcd_; Buffer0 rcd_Data;
    friend bool operator==(const RCD&, const RCD&) = default;
};
PRESSEL_RECORD(AFP_, RCD, rcd_Type, rcd_, rcd_Data)

struct XMD {
    N3 xmd_Type; N3 xmd_; Buffer0 xmd_Data;
    friend bool operator==(const XMD&, const XMD&) = default;
};
PRESSEL_RECORD(AFP_, XMD, xmd_Type, xmd_, xmd_Data)

struct CCP {
    N3 ccp_Type; N3 ccp_; Buffer0 ccp_Data;
    friend bool operator==(const CCP&, const CCP&) = default;
};
PRESSEL_RECORD(AFP_, CCP, ccp_Type, ccp_, ccp_Data)

struct FDS {
    N3 fds_Type; N3 fds_; Buffer0 fds_Data;
    friend bool operator==(const FDS&, const FDS&) = default;
};
PRESSEL_RECORD(AFP_, FDS, fds_Type, fds_, fds_Data)

struct FDX {
    N3 fdx_Type; N3 fdx_; Buffer0 fdx_Data;
    friend bool operator==(const FDX&, const FDX&) = default;
};
PRESSEL_RECORD(AFP_, FDX, fdx_Type, fdx_, fdx_Data)

// Invoke Data Map: the data map's name, then triplets (as the Invoke Medium Map).
struct IDM {
    N3 idm_Type; N3 idm_; Opt<A8> idm_Name; Chunks<T_> idm_Triplets;
    friend bool operator==(const IDM&, const IDM&) = default;
};
PRESSEL_RECORD(AFP_, IDM, idm_Type, idm_, idm_Name, idm_Triplets)

}  // namespace pressel
