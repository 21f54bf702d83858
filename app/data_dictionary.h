// The application's data dictionary: the CUSTOMER and GOODS files, their
// record buffers (one each, shared by every thread), the global objects the
// procedures reach them through, and the procedures that set them up and take
// them down again.
#pragma once

#include <cstdint>
#include <string>

#include "data/driver/declarations.h"
#include "data/driver/file_control_block.h"
#include "framework/error_reporter.h"
#include "framework/file_controller.h"
#include "framework/relation_controller.h"

namespace korvex::app {

inline constexpr size_t kCustomerRecordSize = 68;
inline constexpr size_t kGoodsRecordSize = 24;

// Field numbers (from 1) of the CUSTOMER record.
inline constexpr int kCusId = 1;
inline constexpr int kCusName = 2;
inline constexpr int kCusSuburb = 3;
inline constexpr int kCusPhone = 4;
inline constexpr int kCusStartDate = 5;

extern const driver::FileDeclaration kCustomerFile;
extern const driver::FileDeclaration kGoodsFile;
// CUSTOMER's keys in declaration order, and GOODS's one key.
extern const driver::KeyDeclaration& kCusByName;
extern const driver::KeyDeclaration& kCusByStartDateName;
extern const driver::KeyDeclaration& kCusByPhone;
extern const driver::KeyDeclaration& kCusBySuburb;
extern const driver::KeyDeclaration& kCusById;
extern const driver::KeyDeclaration& kGodById;

// The record buffers and the files' control blocks over them.
uint8_t* CustomerRecord();
uint8_t* GoodsRecord();
driver::FileControlBlock& CustomerBlock();
driver::FileControlBlock& GoodsBlock();

// The relation controllers of the dictionary: their Kill kills the file
// controller first and clears the references.
class DictionaryRelations : public framework::RelationController {
 public:
  DictionaryRelations(framework::FileController** file_reference,
                      framework::RelationController** relations_reference)
      : file_reference_(file_reference), relations_reference_(relations_reference) {}
  void Kill() override;

 private:
  framework::FileController** file_reference_;
  framework::RelationController** relations_reference_;
};

// The global objects.
extern framework::ErrorReporter AppErrors;
extern framework::FileController CustomerFile;
extern framework::FileController GoodsFile;
extern DictionaryRelations CustomerRelations;
extern DictionaryRelations GoodsRelations;
extern uint8_t CallRequest;
extern uint8_t CallResponse;
extern int32_t NavigationRequest;

// The four references; none (null) outside the dictionary's life.
extern framework::FileController* CustomerFileRef;
extern framework::FileController* GoodsFileRef;
extern framework::RelationController* CustomerRelationsRef;
extern framework::RelationController* GoodsRelationsRef;

// Where the data files live: "" for the current folder (the files are named
// from their labels, CUSTOMER.BKF and GOODS.BKF). Takes effect at the next
// InitDataDictionary.
void SetDataFolder(const std::string& folder);

// What the module initialisers do before the program runs: record buffers
// cleared, CallRequest, CallResponse and NavigationRequest 0.
void ResetGlobals();

void InitDataDictionary();
void KillDataDictionary();

}  // namespace korvex::app
