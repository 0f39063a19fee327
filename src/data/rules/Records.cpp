#include "data/rules/Records.h"

#include <string_view>

// The columns named in code must be the ones the tables hold there.
namespace {
constexpr bool isItemColumn(ItemColumn c, std::string_view name) {
    return kItemColumns[static_cast<int>(c)].name == name;
}
constexpr bool isCaseColumn(CaseColumn c, std::string_view name) {
    return kCaseColumns[static_cast<int>(c)].name == name;
}
}  // namespace

static_assert(isItemColumn(ItemColumn::Desc, "desc") &&
              isItemColumn(ItemColumn::Category, "category") &&
              isItemColumn(ItemColumn::Dom, "dom") &&
              isItemColumn(ItemColumn::TestInterval, "testinterval") &&
              isItemColumn(ItemColumn::TestLast, "testlast") &&
              isItemColumn(ItemColumn::TestNext, "testnext") &&
              isItemColumn(ItemColumn::CaseId, "caseID") &&
              isItemColumn(ItemColumn::WarehouseLoc, "warehouseloc") &&
              isItemColumn(ItemColumn::Length, "length") &&
              isItemColumn(ItemColumn::Serial, "serial"));
static_assert(isCaseColumn(CaseColumn::Name, "FName") &&
              isCaseColumn(CaseColumn::Location, "FLocation") &&
              isCaseColumn(CaseColumn::Bought, "FBought") &&
              isCaseColumn(CaseColumn::Notes, "FNotes") &&
              isCaseColumn(CaseColumn::Wheeled, "FWheeled"));
