// Structured-field records of the code table that are not laid out in core.hpp.
//
// Each starts with the identifier and the introducer's flag and reserved bytes
// (two N3 fields); records whose layout this library does not model keep
// the rest of the structured field as one Buffer0.
#pragma once

#include "pressel/records/core.hpp"

namespace pressel {

struct MFC {
    N3 mfc_Type; N3 mfc_;
    Buffer0 mfc_Data;
    friend bool operator==(const MFC&, const MFC&) = default;
};
PRESSEL_RECORD(AFP_, MFC, mfc_Type, mfc_, mfc_Data)

struct MCC {
    N3 mcc_Type; N3 mcc_;
    Buffer0 mcc_Data;
    friend bool operator==(const MCC&, const MCC&) = default;
};
PRESSEL_RECORD(AFP_, MCC, mcc_Type, mcc_, mcc_Data)

struct OBD {
    N3 obd_Type; N3 obd_;
    Buffer0 obd_Data;
    friend bool operator==(const OBD&, const OBD&) = default;
};
PRESSEL_RECORD(AFP_, OBD, obd_Type, obd_, obd_Data)

struct CPD {
    N3 cpd_Type; N3 cpd_;
    Buffer0 cpd_Data;
    friend bool operator==(const CPD&, const CPD&) = default;
};
PRESSEL_RECORD(AFP_, CPD, cpd_Type, cpd_, cpd_Data)

struct MDD {
    N3 mdd_Type; N3 mdd_;
    Buffer0 mdd_Data;
    friend bool operator==(const MDD&, const MDD&) = default;
};
PRESSEL_RECORD(AFP_, MDD, mdd_Type, mdd_, mdd_Data)

struct FND {
    N3 fnd_Type; N3 fnd_;
    Buffer0 fnd_Data;
    friend bool operator==(const FND&, const FND&) = default;
};
PRESSEL_RECORD(AFP_, FND, fnd_Type, fnd_, fnd_Data)

struct CDD {
    N3 cdd_Type; N3 cdd_;
    Buffer0 cdd_Data;
    friend bool operator==(const CDD&, const CDD&) = default;
};
PRESSEL_RECORD(AFP_, CDD, cdd_Type, cdd_, cdd_Data)

struct PTD1 {
    N3 ptd1_Type; N3 ptd1_;
    Buffer0 ptd1_Data;
    friend bool operator==(const PTD1&, const PTD1&) = default;
};
PRESSEL_RECORD(AFP_, PTD1, ptd1_Type, ptd1_, ptd1_Data)

struct GDD {
    N3 gdd_Type; N3 gdd_;
    Buffer0 gdd_Data;
    friend bool operator==(const GDD&, const GDD&) = default;
};
PRESSEL_RECORD(AFP_, GDD, gdd_Type, gdd_, gdd_Data)

struct FGD {
    N3 fgd_Type; N3 fgd_;
    Buffer0 fgd_Data;
    friend bool operator==(const FGD&, const FGD&) = default;
};
PRESSEL_RECORD(AFP_, FGD, fgd_Type, fgd_, fgd_Data)

struct DXD {
    N3 dxd_Type; N3 dxd_;
    Buffer0 dxd_Data;
    friend bool operator==(const DXD&, const DXD&) = default;
};
PRESSEL_RECORD(AFP_, DXD, dxd_Type, dxd_, dxd_Data)

struct LND {
    N3 lnd_Type; N3 lnd_;
    Buffer0 lnd_Data;
    friend bool operator==(const LND&, const LND&) = default;
};
PRESSEL_RECORD(AFP_, LND, lnd_Type, lnd_, lnd_Data)

struct BDD {
    N3 bdd_Type; N3 bdd_;
    Buffer0 bdd_Data;
    friend bool operator==(const BDD&, const BDD&) = default;
};
PRESSEL_RECORD(AFP_, BDD, bdd_Type, bdd_, bdd_Data)

struct IDD {
    N3 idd_Type; N3 idd_;
    Buffer0 idd_Data;
    friend bool operator==(const IDD&, const IDD&) = default;
};
PRESSEL_RECORD(AFP_, IDD, idd_Type, idd_, idd_Data)

struct MMC {
    N3 mmc_Type; N3 mmc_;
    Buffer0 mmc_Data;
    friend bool operator==(const MMC&, const MMC&) = default;
};
PRESSEL_RECORD(AFP_, MMC, mmc_Type, mmc_, mmc_Data)

struct FNC {
    N3 fnc_Type; N3 fnc_;
    Buffer0 fnc_Data;
    friend bool operator==(const FNC&, const FNC&) = default;
};
PRESSEL_RECORD(AFP_, FNC, fnc_Type, fnc_, fnc_Data)

struct CTC {
    N3 ctc_Type; N3 ctc_;
    Buffer0 ctc_Data;
    friend bool operator==(const CTC&, const CTC&) = default;
};
PRESSEL_RECORD(AFP_, CTC, ctc_Type, ctc_, ctc_Data)

struct PMC {
    N3 pmc_Type; N3 pmc_;
    Buffer0 pmc_Data;
    friend bool operator==(const PMC&, const PMC&) = default;
};
PRESSEL_RECORD(AFP_, PMC, pmc_Type, pmc_, pmc_Data)

struct BPS {
    N3 bps_Type; N3 bps_;
    Buffer0 bps_Data;
    friend bool operator==(const BPS&, const BPS&) = default;
};
PRESSEL_RECORD(AFP_, BPS, bps_Type, bps_, bps_Data)

struct BCA {
    N3 bca_Type; N3 bca_;
    Buffer0 bca_Data;
    friend bool operator==(const BCA&, const BCA&) = default;
};
PRESSEL_RECORD(AFP_, BCA, bca_Type, bca_, bca_Data)

struct BII {
    N3 bii_Type; N3 bii_;
    Buffer0 bii_Data;
    friend bool operator==(const BII&, const BII&) = default;
};
PRESSEL_RECORD(AFP_, BII, bii_Type, bii_, bii_Data)

struct BCP {
    N3 bcp_Type; N3 bcp_;
    Buffer0 bcp_Data;
    friend bool operator==(const BCP&, const BCP&) = default;
};
PRESSEL_RECORD(AFP_, BCP, bcp_Type, bcp_, bcp_Data)

struct BFN {
    N3 bfn_Type; N3 bfn_;
    Buffer0 bfn_Data;
    friend bool operator==(const BFN&, const BFN&) = default;
};
PRESSEL_RECORD(AFP_, BFN, bfn_Type, bfn_, bfn_Data)

struct BCF {
    N3 bcf_Type; N3 bcf_;
    Buffer0 bcf_Data;
    friend bool operator==(const BCF&, const BCF&) = default;
};
PRESSEL_RECORD(AFP_, BCF, bcf_Type, bcf_, bcf_Data)

struct BOC {
    N3 boc_Type; N3 boc_;
    Buffer0 boc_Data;
    friend bool operator==(const BOC&, const BOC&) = default;
};
PRESSEL_RECORD(AFP_, BOC, boc_Type, boc_, boc_Data)

struct BPT {
    N3 bpt_Type; N3 bpt_;
    Buffer0 bpt_Data;
    friend bool operator==(const BPT&, const BPT&) = default;
};
PRESSEL_RECORD(AFP_, BPT, bpt_Type, bpt_, bpt_Data)

struct BDI {
    N3 bdi_Type; N3 bdi_;
    Buffer0 bdi_Data;
    friend bool operator==(const BDI&, const BDI&) = default;
};
PRESSEL_RECORD(AFP_, BDI, bdi_Type, bdi_, bdi_Data)

struct BDT {
    N3 bdt_Type; N3 bdt_;
    Buffer0 bdt_Data;
    friend bool operator==(const BDT&, const BDT&) = default;
};
PRESSEL_RECORD(AFP_, BDT, bdt_Type, bdt_, bdt_Data)

struct BNG {
    N3 bng_Type; N3 bng_;
    Buffer0 bng_Data;
    friend bool operator==(const BNG&, const BNG&) = default;
};
PRESSEL_RECORD(AFP_, BNG, bng_Type, bng_, bng_Data)

struct BPG {
    N3 bpg_Type; N3 bpg_;
    Buffer0 bpg_Data;
    friend bool operator==(const BPG&, const BPG&) = default;
};
PRESSEL_RECORD(AFP_, BPG, bpg_Type, bpg_, bpg_Data)

struct BGR {
    N3 bgr_Type; N3 bgr_;
    Buffer0 bgr_Data;
    friend bool operator==(const BGR&, const BGR&) = default;
};
PRESSEL_RECORD(AFP_, BGR, bgr_Type, bgr_, bgr_Data)

struct BDG {
    N3 bdg_Type; N3 bdg_;
    Buffer0 bdg_Data;
    friend bool operator==(const BDG&, const BDG&) = default;
};
PRESSEL_RECORD(AFP_, BDG, bdg_Type, bdg_, bdg_Data)

struct BFG {
    N3 bfg_Type; N3 bfg_;
    Buffer0 bfg_Data;
    friend bool operator==(const BFG&, const BFG&) = default;
};
PRESSEL_RECORD(AFP_, BFG, bfg_Type, bfg_, bfg_Data)

struct BRG {
    N3 brg_Type; N3 brg_;
    Buffer0 brg_Data;
    friend bool operator==(const BRG&, const BRG&) = default;
};
PRESSEL_RECORD(AFP_, BRG, brg_Type, brg_, brg_Data)

struct BOG {
    N3 bog_Type; N3 bog_;
    Buffer0 bog_Data;
    friend bool operator==(const BOG&, const BOG&) = default;
};
PRESSEL_RECORD(AFP_, BOG, bog_Type, bog_, bog_Data)

struct BAG {
    N3 bag_Type; N3 bag_;
    Buffer0 bag_Data;
    friend bool operator==(const BAG&, const BAG&) = default;
};
PRESSEL_RECORD(AFP_, BAG, bag_Type, bag_, bag_Data)

struct BDM {
    N3 bdm_Type; N3 bdm_;
    Buffer0 bdm_Data;
    friend bool operator==(const BDM&, const BDM&) = default;
};
PRESSEL_RECORD(AFP_, BDM, bdm_Type, bdm_, bdm_Data)

struct BPM {
    N3 bpm_Type; N3 bpm_;
    Buffer0 bpm_Data;
    friend bool operator==(const BPM&, const BPM&) = default;
};
PRESSEL_RECORD(AFP_, BPM, bpm_Type, bpm_, bpm_Data)

struct BMM {
    N3 bmm_Type; N3 bmm_;
    Buffer0 bmm_Data;
    friend bool operator==(const BMM&, const BMM&) = default;
};
PRESSEL_RECORD(AFP_, BMM, bmm_Type, bmm_, bmm_Data)

struct BFM {
    N3 bfm_Type; N3 bfm_;
    Buffer0 bfm_Data;
    friend bool operator==(const BFM&, const BFM&) = default;
};
PRESSEL_RECORD(AFP_, BFM, bfm_Type, bfm_, bfm_Data)

struct BR {
    N3 br_Type; N3 br_;
    Buffer0 br_Data;
    friend bool operator==(const BR&, const BR&) = default;
};
PRESSEL_RECORD(AFP_, BR, br_Type, br_, br_Data)

struct BSG {
    N3 bsg_Type; N3 bsg_;
    Buffer0 bsg_Data;
    friend bool operator==(const BSG&, const BSG&) = default;
};
PRESSEL_RECORD(AFP_, BSG, bsg_Type, bsg_, bsg_Data)

struct BMO {
    N3 bmo_Type; N3 bmo_;
    Buffer0 bmo_Data;
    friend bool operator==(const BMO&, const BMO&) = default;
};
PRESSEL_RECORD(AFP_, BMO, bmo_Type, bmo_, bmo_Data)

struct BDX {
    N3 bdx_Type; N3 bdx_;
    Buffer0 bdx_Data;
    friend bool operator==(const BDX&, const BDX&) = default;
};
PRESSEL_RECORD(AFP_, BDX, bdx_Type, bdx_, bdx_Data)

struct BBC {
    N3 bbc_Type; N3 bbc_;
    Buffer0 bbc_Data;
    friend bool operator==(const BBC&, const BBC&) = default;
};
PRESSEL_RECORD(AFP_, BBC, bbc_Type, bbc_, bbc_Data)

struct BIM {
    N3 bim_Type; N3 bim_;
    Buffer0 bim_Data;
    friend bool operator==(const BIM&, const BIM&) = default;
};
PRESSEL_RECORD(AFP_, BIM, bim_Type, bim_, bim_Data)

struct EPS {
    N3 eps_Type; N3 eps_;
    Buffer0 eps_Data;
    friend bool operator==(const EPS&, const EPS&) = default;
};
PRESSEL_RECORD(AFP_, EPS, eps_Type, eps_, eps_Data)

struct ECA {
    N3 eca_Type; N3 eca_;
    Buffer0 eca_Data;
    friend bool operator==(const ECA&, const ECA&) = default;
};
PRESSEL_RECORD(AFP_, ECA, eca_Type, eca_, eca_Data)

struct EII {
    N3 eii_Type; N3 eii_;
    Buffer0 eii_Data;
    friend bool operator==(const EII&, const EII&) = default;
};
PRESSEL_RECORD(AFP_, EII, eii_Type, eii_, eii_Data)

struct ECP {
    N3 ecp_Type; N3 ecp_;
    Buffer0 ecp_Data;
    friend bool operator==(const ECP&, const ECP&) = default;
};
PRESSEL_RECORD(AFP_, ECP, ecp_Type, ecp_, ecp_Data)

struct EFN {
    N3 efn_Type; N3 efn_;
    Buffer0 efn_Data;
    friend bool operator==(const EFN&, const EFN&) = default;
};
PRESSEL_RECORD(AFP_, EFN, efn_Type, efn_, efn_Data)

struct ECF {
    N3 ecf_Type; N3 ecf_;
    Buffer0 ecf_Data;
    friend bool operator==(const ECF&, const ECF&) = default;
};
PRESSEL_RECORD(AFP_, ECF, ecf_Type, ecf_, ecf_Data)

struct EOC {
    N3 eoc_Type; N3 eoc_;
    Buffer0 eoc_Data;
    friend bool operator==(const EOC&, const EOC&) = default;
};
PRESSEL_RECORD(AFP_, EOC, eoc_Type, eoc_, eoc_Data)

struct EPT {
    N3 ept_Type; N3 ept_;
    Buffer0 ept_Data;
    friend bool operator==(const EPT&, const EPT&) = default;
};
PRESSEL_RECORD(AFP_, EPT, ept_Type, ept_, ept_Data)

struct EDI {
    N3 edi_Type; N3 edi_;
    Buffer0 edi_Data;
    friend bool operator==(const EDI&, const EDI&) = default;
};
PRESSEL_RECORD(AFP_, EDI, edi_Type, edi_, edi_Data)

struct EDT {
    N3 edt_Type; N3 edt_;
    Buffer0 edt_Data;
    friend bool operator==(const EDT&, const EDT&) = default;
};
PRESSEL_RECORD(AFP_, EDT, edt_Type, edt_, edt_Data)

struct ENG {
    N3 eng_Type; N3 eng_;
    Buffer0 eng_Data;
    friend bool operator==(const ENG&, const ENG&) = default;
};
PRESSEL_RECORD(AFP_, ENG, eng_Type, eng_, eng_Data)

struct EPG {
    N3 epg_Type; N3 epg_;
    Buffer0 epg_Data;
    friend bool operator==(const EPG&, const EPG&) = default;
};
PRESSEL_RECORD(AFP_, EPG, epg_Type, epg_, epg_Data)

struct EGR {
    N3 egr_Type; N3 egr_;
    Buffer0 egr_Data;
    friend bool operator==(const EGR&, const EGR&) = default;
};
PRESSEL_RECORD(AFP_, EGR, egr_Type, egr_, egr_Data)

struct EDG {
    N3 edg_Type; N3 edg_;
    Buffer0 edg_Data;
    friend bool operator==(const EDG&, const EDG&) = default;
};
PRESSEL_RECORD(AFP_, EDG, edg_Type, edg_, edg_Data)

struct EFG {
    N3 efg_Type; N3 efg_;
    Buffer0 efg_Data;
    friend bool operator==(const EFG&, const EFG&) = default;
};
PRESSEL_RECORD(AFP_, EFG, efg_Type, efg_, efg_Data)

struct ERG {
    N3 erg_Type; N3 erg_;
    Buffer0 erg_Data;
    friend bool operator==(const ERG&, const ERG&) = default;
};
PRESSEL_RECORD(AFP_, ERG, erg_Type, erg_, erg_Data)

struct EOG {
    N3 eog_Type; N3 eog_;
    Buffer0 eog_Data;
    friend bool operator==(const EOG&, const EOG&) = default;
};
PRESSEL_RECORD(AFP_, EOG, eog_Type, eog_, eog_Data)

struct EAG {
    N3 eag_Type; N3 eag_;
    Buffer0 eag_Data;
    friend bool operator==(const EAG&, const EAG&) = default;
};
PRESSEL_RECORD(AFP_, EAG, eag_Type, eag_, eag_Data)

struct EDM {
    N3 edm_Type; N3 edm_;
    Buffer0 edm_Data;
    friend bool operator==(const EDM&, const EDM&) = default;
};
PRESSEL_RECORD(AFP_, EDM, edm_Type, edm_, edm_Data)

struct EPM {
    N3 epm_Type; N3 epm_;
    Buffer0 epm_Data;
    friend bool operator==(const EPM&, const EPM&) = default;
};
PRESSEL_RECORD(AFP_, EPM, epm_Type, epm_, epm_Data)

struct EMM {
    N3 emm_Type; N3 emm_;
    Buffer0 emm_Data;
    friend bool operator==(const EMM&, const EMM&) = default;
};
PRESSEL_RECORD(AFP_, EMM, emm_Type, emm_, emm_Data)

struct EFM {
    N3 efm_Type; N3 efm_;
    Buffer0 efm_Data;
    friend bool operator==(const EFM&, const EFM&) = default;
};
PRESSEL_RECORD(AFP_, EFM, efm_Type, efm_, efm_Data)

struct ESG {
    N3 esg_Type; N3 esg_;
    Buffer0 esg_Data;
    friend bool operator==(const ESG&, const ESG&) = default;
};
PRESSEL_RECORD(AFP_, ESG, esg_Type, esg_, esg_Data)

struct EMO {
    N3 emo_Type; N3 emo_;
    Buffer0 emo_Data;
    friend bool operator==(const EMO&, const EMO&) = default;
};
PRESSEL_RECORD(AFP_, EMO, emo_Type, emo_, emo_Data)

struct EDX {
    N3 edx_Type; N3 edx_;
    Buffer0 edx_Data;
    friend bool operator==(const EDX&, const EDX&) = default;
};
PRESSEL_RECORD(AFP_, EDX, edx_Type, edx_, edx_Data)

struct EBC {
    N3 ebc_Type; N3 ebc_;
    Buffer0 ebc_Data;
    friend bool operator==(const EBC&, const EBC&) = default;
};
PRESSEL_RECORD(AFP_, EBC, ebc_Type, ebc_, ebc_Data)

struct EIM {
    N3 eim_Type; N3 eim_;
    Buffer0 eim_Data;
    friend bool operator==(const EIM&, const EIM&) = default;
};
PRESSEL_RECORD(AFP_, EIM, eim_Type, eim_, eim_Data)

struct LNC {
    N3 lnc_Type; N3 lnc_;
    Buffer0 lnc_Data;
    friend bool operator==(const LNC&, const LNC&) = default;
};
PRESSEL_RECORD(AFP_, LNC, lnc_Type, lnc_, lnc_Data)

struct MCA {
    N3 mca_Type; N3 mca_;
    Buffer0 mca_Data;
    friend bool operator==(const MCA&, const MCA&) = default;
};
PRESSEL_RECORD(AFP_, MCA, mca_Type, mca_, mca_Data)

struct MMT {
    N3 mmt_Type; N3 mmt_;
    Buffer0 mmt_Data;
    friend bool operator==(const MMT&, const MMT&) = default;
};
PRESSEL_RECORD(AFP_, MMT, mmt_Type, mmt_, mmt_Data)

struct FNN {
    N3 fnn_Type; N3 fnn_;
    Buffer0 fnn_Data;
    friend bool operator==(const FNN&, const FNN&) = default;
};
PRESSEL_RECORD(AFP_, FNN, fnn_Type, fnn_, fnn_Data)

struct MCD {
    N3 mcd_Type; N3 mcd_;
    Buffer0 mcd_Data;
    friend bool operator==(const MCD&, const MCD&) = default;
};
PRESSEL_RECORD(AFP_, MCD, mcd_Type, mcd_, mcd_Data)

struct MPG {
    N3 mpg_Type; N3 mpg_;
    Buffer0 mpg_Data;
    friend bool operator==(const MPG&, const MPG&) = default;
};
PRESSEL_RECORD(AFP_, MPG, mpg_Type, mpg_, mpg_Data)

struct IMM {
    N3 imm_Type; N3 imm_;
    Buffer0 imm_Data;
    friend bool operator==(const IMM&, const IMM&) = default;
};
PRESSEL_RECORD(AFP_, IMM, imm_Type, imm_, imm_Data)

struct MPO {
    N3 mpo_Type; N3 mpo_;
    Buffer0 mpo_Data;
    friend bool operator==(const MPO&, const MPO&) = default;
};
PRESSEL_RECORD(AFP_, MPO, mpo_Type, mpo_, mpo_Data)

struct MBC {
    N3 mbc_Type; N3 mbc_;
    Buffer0 mbc_Data;
    friend bool operator==(const MBC&, const MBC&) = default;
};
PRESSEL_RECORD(AFP_, MBC, mbc_Type, mbc_, mbc_Data)

struct MIO {
    N3 mio_Type; N3 mio_;
    Buffer0 mio_Data;
    friend bool operator==(const MIO&, const MIO&) = default;
};
PRESSEL_RECORD(AFP_, MIO, mio_Type, mio_, mio_Data)

struct OBP {
    N3 obp_Type; N3 obp_;
    Buffer0 obp_Data;
    friend bool operator==(const OBP&, const OBP&) = default;
};
PRESSEL_RECORD(AFP_, OBP, obp_Type, obp_, obp_Data)

struct FNP {
    N3 fnp_Type; N3 fnp_;
    Buffer0 fnp_Data;
    friend bool operator==(const FNP&, const FNP&) = default;
};
PRESSEL_RECORD(AFP_, FNP, fnp_Type, fnp_, fnp_Data)

struct PGP1 {
    N3 pgp1_Type; N3 pgp1_;
    Buffer0 pgp1_Data;
    friend bool operator==(const PGP1&, const PGP1&) = default;
};
PRESSEL_RECORD(AFP_, PGP1, pgp1_Type, pgp1_, pgp1_Data)

struct IPS {
    N3 ips_Type; N3 ips_;
    Buffer0 ips_Data;
    friend bool operator==(const IPS&, const IPS&) = default;
};
PRESSEL_RECORD(AFP_, IPS, ips_Type, ips_, ips_Data)

struct IPG {
    N3 ipg_Type; N3 ipg_;
    Buffer0 ipg_Data;
    friend bool operator==(const IPG&, const IPG&) = default;
};
PRESSEL_RECORD(AFP_, IPG, ipg_Type, ipg_, ipg_Data)

struct IOB {
    N3 iob_Type; N3 iob_;
    Buffer0 iob_Data;
    friend bool operator==(const IOB&, const IOB&) = default;
};
PRESSEL_RECORD(AFP_, IOB, iob_Type, iob_, iob_Data)

struct IPO {
    N3 ipo_Type; N3 ipo_;
    Buffer0 ipo_Data;
    friend bool operator==(const IPO&, const IPO&) = default;
};
PRESSEL_RECORD(AFP_, IPO, ipo_Type, ipo_, ipo_Data)

struct CAT {
    N3 cat_Type; N3 cat_;
    Buffer0 cat_Data;
    friend bool operator==(const CAT&, const CAT&) = default;
};
PRESSEL_RECORD(AFP_, CAT, cat_Type, cat_, cat_Data)

struct MPS {
    N3 mps_Type; N3 mps_;
    Buffer0 mps_Data;
    friend bool operator==(const MPS&, const MPS&) = default;
};
PRESSEL_RECORD(AFP_, MPS, mps_Type, mps_, mps_Data)

struct PGP {
    N3 pgp_Type; N3 pgp_;
    Buffer0 pgp_Data;
    friend bool operator==(const PGP&, const PGP&) = default;
};
PRESSEL_RECORD(AFP_, PGP, pgp_Type, pgp_, pgp_Data)

struct MMO {
    N3 mmo_Type; N3 mmo_;
    Buffer0 mmo_Data;
    friend bool operator==(const MMO&, const MMO&) = default;
};
PRESSEL_RECORD(AFP_, MMO, mmo_Type, mmo_, mmo_Data)

struct PFC {
    N3 pfc_Type; N3 pfc_;
    Buffer0 pfc_Data;
    friend bool operator==(const PFC&, const PFC&) = default;
};
PRESSEL_RECORD(AFP_, PFC, pfc_Type, pfc_, pfc_Data)

struct IEL {
    N3 iel_Type; N3 iel_;
    Buffer0 iel_Data;
    friend bool operator==(const IEL&, const IEL&) = default;
};
PRESSEL_RECORD(AFP_, IEL, iel_Type, iel_, iel_Data)

struct LLE {
    N3 lle_Type; N3 lle_;
    Buffer0 lle_Data;
    friend bool operator==(const LLE&, const LLE&) = default;
};
PRESSEL_RECORD(AFP_, LLE, lle_Type, lle_, lle_Data)

struct IRD {
    N3 ird_Type; N3 ird_;
    Buffer0 ird_Data;
    friend bool operator==(const IRD&, const IRD&) = default;
};
PRESSEL_RECORD(AFP_, IRD, ird_Type, ird_, ird_Data)

struct FNG {
    N3 fng_Type; N3 fng_;
    Buffer0 fng_Data;
    friend bool operator==(const FNG&, const FNG&) = default;
};
PRESSEL_RECORD(AFP_, FNG, fng_Type, fng_, fng_Data)

struct OCD {
    N3 ocd_Type; N3 ocd_;
    Buffer0 ocd_Data;
    friend bool operator==(const OCD&, const OCD&) = default;
};
PRESSEL_RECORD(AFP_, OCD, ocd_Type, ocd_, ocd_Data)

struct GAD {
    N3 gad_Type; N3 gad_;
    Buffer0 gad_Data;
    friend bool operator==(const GAD&, const GAD&) = default;
};
PRESSEL_RECORD(AFP_, GAD, gad_Type, gad_, gad_Data)

struct BDA {
    N3 bda_Type; N3 bda_;
    Buffer0 bda_Data;
    friend bool operator==(const BDA&, const BDA&) = default;
};
PRESSEL_RECORD(AFP_, BDA, bda_Type, bda_, bda_Data)

struct NOP {
    N3 nop_Type; N3 nop_;
    Buffer0 nop_Data;
    friend bool operator==(const NOP&, const NOP&) = default;
};
PRESSEL_RECORD(AFP_, NOP, nop_Type, nop_, nop_Data)

struct IPD {
    N3 ipd_Type; N3 ipd_;
    Buffer0 ipd_Data;
    friend bool operator==(const IPD&, const IPD&) = default;
};
PRESSEL_RECORD(AFP_, IPD, ipd_Type, ipd_, ipd_Data)

}  // namespace pressel
