// Records of the policy, invoice and agency master files for the policy routine tests, built
// field by field from the layouts so that a test names only the values it cares about.
#pragma once

#include <string>
#include <string_view>

#include "legacy/btrv_layout.h"

namespace talvor::testing {

struct PolicyValues {
  std::string agency = "01";
  std::string polNum = "P1";  // left-justified to 20
  std::string seq = "01";
  std::string client = "  1001";
  std::string invNum = "000000";
  std::string dept = "CL";
  std::string company = "CMP";
  std::string cls = "CLS";
  std::string trn = "NEW";
  std::string prd = "PRD";
  std::string effective = ";50615";
  std::string expiration = ";60615";
};

// A 120-byte policy record; `AgyCode2` and `AgyCode3` repeat the agency, `SeqSuffix` is "0".
inline std::string PolicyRecord(const PolicyValues& v) {
  namespace pol = layout::pol;
  std::string r = layout::BlankRecord(pol::kRecordLength);
  layout::SetField(r, pol::AgyCode, v.agency);
  layout::SetField(r, pol::PolNum, v.polNum);
  layout::SetField(r, pol::PolSeq, v.seq);
  layout::SetField(r, pol::SeqSuffix, "0");
  layout::SetField(r, pol::AgyCode2, v.agency);
  layout::SetField(r, pol::CltNum, v.client);
  layout::SetField(r, pol::InvNum, v.invNum);
  layout::SetField(r, pol::Dept, v.dept);
  layout::SetField(r, pol::Company, v.company);
  layout::SetField(r, pol::Class, v.cls);
  layout::SetField(r, pol::TrnCode, v.trn);
  layout::SetField(r, pol::PrdCode, v.prd);
  layout::SetField(r, pol::EffectiveDate, v.effective);
  layout::SetField(r, pol::AgyCode3, v.agency);
  layout::SetField(r, pol::ExpirationDate, v.expiration);
  return r;
}

struct JckiValues {
  std::string agency = "01";
  std::string type = "I";
  std::string number = "000100";
  std::string item = "01000";
  std::string postKind = "1";
  std::string glAcct = "1110";
  std::string code = "   ";
  std::string client = "  1001";
  std::string effective = ";60101";
  std::string dept = "CL";
  std::string entryDate = ";60102";
  std::string amount = "0000012345";
  std::string enteredBy = "OPR";
  std::string ledger = "    ";  // LedgerAcct; overlaps ContFlag
};

// A 99-byte invoice-file record.
inline std::string JckiRecord(const JckiValues& v) {
  namespace jcki = layout::jcki;
  std::string r = layout::BlankRecord(jcki::kRecordLength);
  layout::SetField(r, jcki::AgyCode, v.agency);
  layout::SetField(r, jcki::EntryType, v.type);
  layout::SetField(r, jcki::InvNum, v.number);
  layout::SetField(r, jcki::ItemCode, v.item);
  layout::SetField(r, jcki::AgyCode2, v.agency);
  layout::SetField(r, jcki::PostKind, v.postKind);
  layout::SetField(r, jcki::GLAcct, v.glAcct);
  layout::SetField(r, jcki::Code, v.code);
  layout::SetField(r, jcki::CltNum, v.client);
  layout::SetField(r, jcki::EffectiveDate, v.effective);
  layout::SetField(r, jcki::Dept, v.dept);
  layout::SetField(r, jcki::EntryDate, v.entryDate);
  layout::SetField(r, jcki::Amount, v.amount);
  layout::SetField(r, jcki::EnteredBy, v.enteredBy);
  layout::SetField(r, jcki::LedgerAcct, v.ledger);
  return r;
}

struct DescValues {
  std::string agency = "01";
  std::string type = "I";
  std::string number = "000100";
  std::string line = "01";
  std::string cls = "CLS";
  std::string trn = "NEW";
  std::string company = "CMP";
  std::string prd = "PRD";
};

// A 64-byte description record.
inline std::string DescRecord(const DescValues& v) {
  namespace desc = layout::desc;
  std::string r = layout::BlankRecord(desc::kRecordLength);
  layout::SetField(r, desc::AgyCode, v.agency);
  layout::SetField(r, desc::EntryType, v.type);
  layout::SetField(r, desc::InvNum, v.number);
  layout::SetField(r, desc::Line, v.line);
  layout::SetField(r, desc::Class, v.cls);
  layout::SetField(r, desc::TrnCode, v.trn);
  layout::SetField(r, desc::Company, v.company);
  layout::SetField(r, desc::PrdCode, v.prd);
  return r;
}

// The main line of an "ap" code record of kind `recType` named `name`.
inline std::string ApCodeRecord(std::string_view recType, std::string_view agency,
                                std::string_view code, std::string_view name = "A CODE") {
  std::string r = layout::BlankRecord(layout::ap::kRecordLength);
  layout::SetField(r, layout::ap::Key, layout::ApKey(recType, agency, code, "00"));
  layout::SetField(r, layout::ap::RecTypeCopy, recType);
  layout::SetField(r, layout::ap::line00::Name, name);
  return r;
}

}  // namespace talvor::testing
