#include "app/data_dictionary.h"

#include "framework/file_controller_fields.h"

namespace korvex::app {

using namespace driver;

namespace {

constexpr FieldDescriptor kCustomerFields[] = {
    MakeField("CUS:CUSID", kTypeLong, 4),
    MakeString("CUS:NAME", 20),
    MakeString("CUS:SUBURB", 20),
    MakeString("CUS:PHONE", 20),
    MakeField("CUS:STARTDATE", kTypeLong, 4),
};
constexpr int32_t kByNameParts[] = {kCusName};
constexpr int32_t kByStartDateNameParts[] = {kCusStartDate, kCusName};
constexpr int32_t kByPhoneParts[] = {kCusPhone};
constexpr int32_t kBySuburbParts[] = {kCusSuburb};
constexpr int32_t kByIdParts[] = {kCusId};
constexpr KeyDeclaration kCustomerKeys[] = {
    {.label = "CUS:BYNAME", .flags = kKeyOpt | kKeyNoCase, .components = kByNameParts},
    {.label = "CUS:BYSTARTDATENAME", .flags = kKeyDup | kKeyOpt | kKeyNoCase,
     .components = kByStartDateNameParts},
    {.label = "CUS:BYPHONE", .flags = kKeyDup | kKeyOpt | kKeyNoCase, .components = kByPhoneParts},
    {.label = "CUS:BYSUBURB", .flags = kKeyDup | kKeyOpt | kKeyNoCase, .components = kBySuburbParts},
    {.label = "CUS:BYID", .flags = kKeyOpt | kKeyNoCase | kKeyPrimary, .components = kByIdParts},
};

constexpr FieldDescriptor kGoodsFields[] = {
    MakeField("GOD:CUSID", kTypeLong, 4),
    MakeString("GOD:GOODS", 20),
};
constexpr int32_t kGodByIdParts[] = {1, 2};
constexpr KeyDeclaration kGoodsKeys[] = {
    {.label = "GOD:BYID", .flags = kKeyDup | kKeyOpt | kKeyNoCase, .components = kGodByIdParts},
};

uint8_t customer_record[kCustomerRecordSize];
uint8_t goods_record[kGoodsRecordSize];

std::string& DataFolder() {
  static std::string folder;
  return folder;
}

std::string PathOf(std::string_view label) {
  const std::string& folder = DataFolder();
  if (folder.empty()) return "";
  const char last = folder.back();
  return folder + (last == '/' || last == '\\' ? "" : "/") + std::string(label);
}

}  // namespace

// CREATE: start-up promises that a missing file is made when first opened.
const FileDeclaration kCustomerFile = {
    .label = "CUSTOMER",
    .driver = "BRISKEN",
    .attributes = kFileCreate,
    .keys = kCustomerKeys,
    .fields = kCustomerFields,
};
const FileDeclaration kGoodsFile = {
    .label = "GOODS",
    .driver = "BRISKEN",
    .attributes = kFileCreate,
    .keys = kGoodsKeys,
    .fields = kGoodsFields,
};
const KeyDeclaration& kCusByName = kCustomerKeys[0];
const KeyDeclaration& kCusByStartDateName = kCustomerKeys[1];
const KeyDeclaration& kCusByPhone = kCustomerKeys[2];
const KeyDeclaration& kCusBySuburb = kCustomerKeys[3];
const KeyDeclaration& kCusById = kCustomerKeys[4];
const KeyDeclaration& kGodById = kGoodsKeys[0];

uint8_t* CustomerRecord() { return customer_record; }
uint8_t* GoodsRecord() { return goods_record; }

FileControlBlock& CustomerBlock() {
  static FileControlBlock block(&kCustomerFile, customer_record, sizeof customer_record);
  return block;
}
FileControlBlock& GoodsBlock() {
  static FileControlBlock block(&kGoodsFile, goods_record, sizeof goods_record);
  return block;
}

framework::ErrorReporter AppErrors;
framework::FileController CustomerFile;
framework::FileController GoodsFile;
framework::FileController* CustomerFileRef = nullptr;
framework::FileController* GoodsFileRef = nullptr;
framework::RelationController* CustomerRelationsRef = nullptr;
framework::RelationController* GoodsRelationsRef = nullptr;
DictionaryRelations CustomerRelations(&CustomerFileRef, &CustomerRelationsRef);
DictionaryRelations GoodsRelations(&GoodsFileRef, &GoodsRelationsRef);
uint8_t CallRequest = 0;
uint8_t CallResponse = 0;
int32_t NavigationRequest = 0;

void DictionaryRelations::Kill() {
  if (me() != nullptr) me()->Kill();
  *file_reference_ = nullptr;
  RelationController::Kill();
  *relations_reference_ = nullptr;
}

void SetDataFolder(const std::string& folder) { DataFolder() = folder; }

void ResetGlobals() {
  framework::ClearRecord(CustomerBlock());
  framework::ClearRecord(GoodsBlock());
  CallRequest = 0;
  CallResponse = 0;
  NavigationRequest = 0;
}

void InitDataDictionary() {
  CustomerRelationsRef = &CustomerRelations;
  GoodsRelationsRef = &GoodsRelations;

  CustomerBlock().name = PathOf(kCustomerFile.label);
  CustomerFile.Init(&CustomerBlock(), &AppErrors);
  CustomerFile.file_name_value = "Customer";
  CustomerFile.create = true;
  CustomerFile.lock_recover = 10;
  CustomerFile.AddKey(&kCusByName, 0, "CUS:ByName");
  CustomerFile.AddKey(&kCusByStartDateName, 0, "CUS:ByStartDateName");
  CustomerFile.AddKey(&kCusByPhone, 0, "CUS:ByPhone");
  CustomerFile.AddKey(&kCusBySuburb, 0, "CUS:BySuburb");
  CustomerFile.AddKey(&kCusById, 1, "CUS:ByID");
  CustomerFileRef = &CustomerFile;

  CustomerRelations.Init(&CustomerFile, true);
  CustomerRelations.AddRelation(&GoodsRelations, framework::kLinkCascade,
                                framework::kLinkCascade, &kGodById);
  CustomerRelations.AddLink({&CustomerBlock(), kCusId - 1}, {&GoodsBlock(), 0});

  GoodsBlock().name = PathOf(kGoodsFile.label);
  GoodsFile.Init(&GoodsBlock(), &AppErrors);
  GoodsFile.file_name_value = "Goods";
  GoodsFile.create = true;
  GoodsFile.lock_recover = 10;
  GoodsFile.AddKey(&kGodById, 0, "GOD:ByID");
  GoodsFileRef = &GoodsFile;

  GoodsRelations.Init(&GoodsFile, true);
  GoodsRelations.AddPlainRelation(&CustomerRelations);
}

void KillDataDictionary() {
  CustomerRelations.Kill();
  GoodsRelations.Kill();
}

}  // namespace korvex::app
