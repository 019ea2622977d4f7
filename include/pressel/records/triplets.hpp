// Triplet records: one per triplet identifier of the code table, the
// fallback of unknown identifiers, and the bytes of a triplet list that do
// not frame as a triplet.
//
// Every triplet record starts with its one-byte identifier; the length byte in
// front of it is framing and not part of the record.
#pragma once

#include "pressel/record.hpp"

namespace pressel {

struct T_CGCSGID {
    N1 t_cgcsgid_Type;
    Buffer0 t_cgcsgid;
    friend bool operator==(const T_CGCSGID&, const T_CGCSGID&) = default;
};
PRESSEL_RECORD(T_, T_CGCSGID, t_cgcsgid_Type, t_cgcsgid)

struct T_FQN {
    N1 t_fqn_Type; N1 t_fqn_SubType; N1 t_fqn_Format;
    Buffer0 t_fqn;
    friend bool operator==(const T_FQN&, const T_FQN&) = default;
};
PRESSEL_RECORD(T_, T_FQN, t_fqn_Type, t_fqn_SubType, t_fqn_Format, t_fqn)
PRESSEL_NAME_FIELD(T_FQN, t_fqn)

struct T_MO {
    N1 t_mo_Type;
    Buffer0 t_mo;
    friend bool operator==(const T_MO&, const T_MO&) = default;
};
PRESSEL_RECORD(T_, T_MO, t_mo_Type, t_mo)

struct T_OC {
    N1 t_oc_Type;
    Buffer0 t_oc;
    friend bool operator==(const T_OC&, const T_OC&) = default;
};
PRESSEL_RECORD(T_, T_OC, t_oc_Type, t_oc)

struct T_MIS {
    N1 t_mis_Type;
    Buffer0 t_mis;
    friend bool operator==(const T_MIS&, const T_MIS&) = default;
};
PRESSEL_RECORD(T_, T_MIS, t_mis_Type, t_mis)

struct T_TO {
    N1 t_to_Type;
    Buffer0 t_to;
    friend bool operator==(const T_TO&, const T_TO&) = default;
};
PRESSEL_RECORD(T_, T_TO, t_to_Type, t_to)

struct T_FDS {
    N1 t_fds_Type;
    Buffer0 t_fds;
    friend bool operator==(const T_FDS&, const T_FDS&) = default;
};
PRESSEL_RECORD(T_, T_FDS, t_fds_Type, t_fds)

struct T_FCGCSGID {
    N1 t_fcgcsgid_Type;
    Buffer0 t_fcgcsgid;
    friend bool operator==(const T_FCGCSGID&, const T_FCGCSGID&) = default;
};
PRESSEL_RECORD(T_, T_FCGCSGID, t_fcgcsgid_Type, t_fcgcsgid)

struct T_ROT {
    N1 t_rot_Type;
    Buffer0 t_rot;
    friend bool operator==(const T_ROT&, const T_ROT&) = default;
};
PRESSEL_RECORD(T_, T_ROT, t_rot_Type, t_rot)

struct T_ERLID {
    N1 t_erlid_Type;
    Buffer0 t_erlid;
    friend bool operator==(const T_ERLID&, const T_ERLID&) = default;
};
PRESSEL_RECORD(T_, T_ERLID, t_erlid_Type, t_erlid)

struct T_X23 {
    N1 t_x23_Type;
    Buffer0 t_x23;
    friend bool operator==(const T_X23&, const T_X23&) = default;
};
PRESSEL_RECORD(T_, T_X23, t_x23_Type, t_x23)

struct T_RLI {
    N1 t_rli_Type; N1 t_rli_ResourceType; N1 t_rli_ResourceLocalId;
    friend bool operator==(const T_RLI&, const T_RLI&) = default;
};
PRESSEL_RECORD(T_, T_RLI, t_rli_Type, t_rli_ResourceType, t_rli_ResourceLocalId)

struct T_RSN {
    N1 t_rsn_Type;
    Buffer0 t_rsn;
    friend bool operator==(const T_RSN&, const T_RSN&) = default;
};
PRESSEL_RECORD(T_, T_RSN, t_rsn_Type, t_rsn)

struct T_CR {
    N1 t_cr_Type;
    Buffer0 t_cr;
    friend bool operator==(const T_CR&, const T_CR&) = default;
};
PRESSEL_RECORD(T_, T_CR, t_cr_Type, t_cr)

struct T_LDOPM {
    N1 t_ldopm_Type;
    Buffer0 t_ldopm;
    friend bool operator==(const T_LDOPM&, const T_LDOPM&) = default;
};
PRESSEL_RECORD(T_, T_LDOPM, t_ldopm_Type, t_ldopm)

struct T_OBO {
    N1 t_obo_Type;
    Buffer0 t_obo;
    friend bool operator==(const T_OBO&, const T_OBO&) = default;
};
PRESSEL_RECORD(T_, T_OBO, t_obo_Type, t_obo)

struct T_AV {
    N1 t_av_Type;
    Buffer0 t_av;
    friend bool operator==(const T_AV&, const T_AV&) = default;
};
PRESSEL_RECORD(T_, T_AV, t_av_Type, t_av)
PRESSEL_NAME_FIELD(T_AV, t_av)

struct T_DP {
    N1 t_dp_Type;
    Buffer0 t_dp;
    friend bool operator==(const T_DP&, const T_DP&) = default;
};
PRESSEL_RECORD(T_, T_DP, t_dp_Type, t_dp)

struct T_MEC {
    N1 t_mec_Type;
    Buffer0 t_mec;
    friend bool operator==(const T_MEC&, const T_MEC&) = default;
};
PRESSEL_RECORD(T_, T_MEC, t_mec_Type, t_mec)

struct T_POCP {
    N1 t_pocp_Type;
    Buffer0 t_pocp;
    friend bool operator==(const T_POCP&, const T_POCP&) = default;
};
PRESSEL_RECORD(T_, T_POCP, t_pocp_Type, t_pocp)

struct T_RUA {
    N1 t_rua_Type;
    Buffer0 t_rua;
    friend bool operator==(const T_RUA&, const T_RUA&) = default;
};
PRESSEL_RECORD(T_, T_RUA, t_rua_Type, t_rua)

struct T_MU {
    N1 t_mu_Type;
    Buffer0 t_mu;
    friend bool operator==(const T_MU&, const T_MU&) = default;
};
PRESSEL_RECORD(T_, T_MU, t_mu_Type, t_mu)

struct T_OAS {
    N1 t_oas_Type;
    Buffer0 t_oas;
    friend bool operator==(const T_OAS&, const T_OAS&) = default;
};
PRESSEL_RECORD(T_, T_OAS, t_oas_Type, t_oas)

struct T_AD {
    N1 t_ad_Type;
    Buffer0 t_ad;
    friend bool operator==(const T_AD&, const T_AD&) = default;
};
PRESSEL_RECORD(T_, T_AD, t_ad_Type, t_ad)

struct T_CSPEC {
    N1 t_cspec_Type;
    Buffer0 t_cspec;
    friend bool operator==(const T_CSPEC&, const T_CSPEC&) = default;
};
PRESSEL_RECORD(T_, T_CSPEC, t_cspec_Type, t_cspec)

struct T_ESID {
    N1 t_esid_Type;
    Buffer0 t_esid;
    friend bool operator==(const T_ESID&, const T_ESID&) = default;
};
PRESSEL_RECORD(T_, T_ESID, t_esid_Type, t_esid)

struct T_MMPN {
    N1 t_mmpn_Type;
    Buffer0 t_mmpn;
    friend bool operator==(const T_MMPN&, const T_MMPN&) = default;
};
PRESSEL_RECORD(T_, T_MMPN, t_mmpn_Type, t_mmpn)

struct T_OBE {
    N1 t_obe_Type;
    Buffer0 t_obe;
    friend bool operator==(const T_OBE&, const T_OBE&) = default;
};
PRESSEL_RECORD(T_, T_OBE, t_obe_Type, t_obe)

struct T_OSFO {
    N1 t_osfo_Type;
    Buffer0 t_osfo;
    friend bool operator==(const T_OSFO&, const T_OSFO&) = default;
};
PRESSEL_RECORD(T_, T_OSFO, t_osfo_Type, t_osfo)

struct T_OSFE {
    N1 t_osfe_Type;
    Buffer0 t_osfe;
    friend bool operator==(const T_OSFE&, const T_OSFE&) = default;
};
PRESSEL_RECORD(T_, T_OSFE, t_osfe_Type, t_osfe)

struct T_OO {
    N1 t_oo_Type;
    Buffer0 t_oo;
    friend bool operator==(const T_OO&, const T_OO&) = default;
};
PRESSEL_RECORD(T_, T_OO, t_oo_Type, t_oo)

struct T_FHSF {
    N1 t_fhsf_Type;
    Buffer0 t_fhsf;
    friend bool operator==(const T_FHSF&, const T_FHSF&) = default;
};
PRESSEL_RECORD(T_, T_FHSF, t_fhsf_Type, t_fhsf)

struct T_OCNT {
    N1 t_ocnt_Type;
    Buffer0 t_ocnt;
    friend bool operator==(const T_OCNT&, const T_OCNT&) = default;
};
PRESSEL_RECORD(T_, T_OCNT, t_ocnt_Type, t_ocnt)

struct T_LDTS {
    N1 t_ldts_Type;
    Buffer0 t_ldts;
    friend bool operator==(const T_LDTS&, const T_LDTS&) = default;
};
PRESSEL_RECORD(T_, T_LDTS, t_ldts_Type, t_ldts)

struct T_OCS {
    N1 t_ocs_Type;
    Buffer0 t_ocs;
    friend bool operator==(const T_OCS&, const T_OCS&) = default;
};
PRESSEL_RECORD(T_, T_OCS, t_ocs_Type, t_ocs)

struct T_OOI {
    N1 t_ooi_Type;
    Buffer0 t_ooi;
    friend bool operator==(const T_OOI&, const T_OOI&) = default;
};
PRESSEL_RECORD(T_, T_OOI, t_ooi_Type, t_ooi)

struct T_CMT {
    N1 t_cmt_Type;
    Buffer0 t_cmt;
    friend bool operator==(const T_CMT&, const T_CMT&) = default;
};
PRESSEL_RECORD(T_, T_CMT, t_cmt_Type, t_cmt)

struct T_MEDO {
    N1 t_medo_Type;
    Buffer0 t_medo;
    friend bool operator==(const T_MEDO&, const T_MEDO&) = default;
};
PRESSEL_RECORD(T_, T_MEDO, t_medo_Type, t_medo)

struct T_ROI {
    N1 t_roi_Type;
    Buffer0 t_roi;
    friend bool operator==(const T_ROI&, const T_ROI&) = default;
};
PRESSEL_RECORD(T_, T_ROI, t_roi_Type, t_roi)

struct T_EF {
    N1 t_ef_Type;
    Buffer0 t_ef;
    friend bool operator==(const T_EF&, const T_EF&) = default;
};
PRESSEL_RECORD(T_, T_EF, t_ef_Type, t_ef)

struct T_PSRM {
    N1 t_psrm_Type;
    Buffer0 t_psrm;
    friend bool operator==(const T_PSRM&, const T_PSRM&) = default;
};
PRESSEL_RECORD(T_, T_PSRM, t_psrm_Type, t_psrm)

struct T_PSMR {
    N1 t_psmr_Type;
    Buffer0 t_psmr;
    friend bool operator==(const T_PSMR&, const T_PSMR&) = default;
};
PRESSEL_RECORD(T_, T_PSMR, t_psmr_Type, t_psmr)

struct T_UDTS {
    N1 t_udts_Type;
    Buffer0 t_udts;
    friend bool operator==(const T_UDTS&, const T_UDTS&) = default;
};
PRESSEL_RECORD(T_, T_UDTS, t_udts_Type, t_udts)

struct T_IMMI {
    N1 t_immi_Type;
    Buffer0 t_immi;
    friend bool operator==(const T_IMMI&, const T_IMMI&) = default;
};
PRESSEL_RECORD(T_, T_IMMI, t_immi_Type, t_immi)

struct T_TS {
    N1 t_ts_Type;
    Buffer0 t_ts;
    friend bool operator==(const T_TS&, const T_TS&) = default;
};
PRESSEL_RECORD(T_, T_TS, t_ts_Type, t_ts)

struct T_CF {
    N1 t_cf_Type;
    Buffer0 t_cf;
    friend bool operator==(const T_CF&, const T_CF&) = default;
};
PRESSEL_RECORD(T_, T_CF, t_cf_Type, t_cf)

struct T_FF {
    N1 t_ff_Type;
    Buffer0 t_ff;
    friend bool operator==(const T_FF&, const T_FF&) = default;
};
PRESSEL_RECORD(T_, T_FF, t_ff_Type, t_ff)

struct T_MA {
    N1 t_ma_Type;
    Buffer0 t_ma;
    friend bool operator==(const T_MA&, const T_MA&) = default;
};
PRESSEL_RECORD(T_, T_MA, t_ma_Type, t_ma)

struct T_AQ {
    N1 t_aq_Type;
    Buffer0 t_aq;
    friend bool operator==(const T_AQ&, const T_AQ&) = default;
};
PRESSEL_RECORD(T_, T_AQ, t_aq_Type, t_aq)

struct T_PPI {
    N1 t_ppi_Type;
    Buffer0 t_ppi;
    friend bool operator==(const T_PPI&, const T_PPI&) = default;
};
PRESSEL_RECORD(T_, T_PPI, t_ppi_Type, t_ppi)

struct T_PV {
    N1 t_pv_Type;
    Buffer0 t_pv;
    friend bool operator==(const T_PV&, const T_PV&) = default;
};
PRESSEL_RECORD(T_, T_PV, t_pv_Type, t_pv)

struct T_PC {
    N1 t_pc_Type;
    Buffer0 t_pc;
    friend bool operator==(const T_PC&, const T_PC&) = default;
};
PRESSEL_RECORD(T_, T_PC, t_pc_Type, t_pc)

struct T_FRMT {
    N1 t_frmt_Type;
    Buffer0 t_frmt;
    friend bool operator==(const T_FRMT&, const T_FRMT&) = default;
};
PRESSEL_RECORD(T_, T_FRMT, t_frmt_Type, t_frmt)

struct T_FO {
    N1 t_fo_Type;
    Buffer0 t_fo;
    friend bool operator==(const T_FO&, const T_FO&) = default;
};
PRESSEL_RECORD(T_, T_FO, t_fo_Type, t_fo)

struct T_MF {
    N1 t_mf_Type;
    Buffer0 t_mf;
    friend bool operator==(const T_MF&, const T_MF&) = default;
};
PRESSEL_RECORD(T_, T_MF, t_mf_Type, t_mf)

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
