#include "data/driver/file_control_block.h"

namespace korvex::driver {

FileControlBlock::FileControlBlock(const FileDeclaration* declaration, uint8_t* record,
                                   size_t record_size)
    : name(declaration->name),
      owner(declaration->owner),
      options(declaration->options),
      attributes(declaration->attributes),
      declaration_(declaration),
      record_(record),
      record_size_(record_size),
      label_(declaration->label) {
  layout_.Build(declaration->fields);
  for (const MemoDeclaration& m : declaration->memos) {
    if ((m.flags & kMemoBlob) != 0) {
      memos.emplace_back();
    } else {
      memos.emplace_back(m.max_size, (m.flags & kMemoBinary) != 0 ? uint8_t{0} : uint8_t{' '});
    }
  }
}

}  // namespace korvex::driver
