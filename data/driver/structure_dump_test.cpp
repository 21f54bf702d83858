#include "data/driver/structure_dump.h"

#include <gtest/gtest.h>

#include "data/driver/driver_test_util.h"
#include "data/driver/file_control_block.h"

namespace korvex::driver {
namespace {

using testing::kCustomer;
using testing::kOrders;

TEST(StructureDump, CustomerFile) {
  const char* expected =
      "CUSTOMER          FILE,DRIVER('BRISKEN'),CREATE\r\n"
      "CUS:BYNAME          KEY(+CUS:NAME),OPT,NOCASE\r\n"
      "CUS:BYSTARTDATENAME KEY(+CUS:STARTDATE,+CUS:NAME),DUP,OPT,NOCASE\r\n"
      "CUS:BYPHONE         KEY(+CUS:PHONE),DUP,OPT,NOCASE\r\n"
      "CUS:BYSUBURB        KEY(+CUS:SUBURB),DUP,OPT,NOCASE\r\n"
      "CUS:BYID            KEY(+CUS:CUSID),OPT,NOCASE,PRIMARY\r\n"
      "                    RECORD\r\n"
      "CUS:CUSID           LONG\r\n"
      "CUS:NAME            STRING(20)\r\n"
      "CUS:SUBURB          STRING(20)\r\n"
      "CUS:PHONE           STRING(20)\r\n"
      "CUS:STARTDATE       LONG\r\n"
      "                    END\r\n"
      "                    END\r\n"
      "\r\n";
  EXPECT_EQ(StructureDump(kCustomer), expected);
}

TEST(StructureDump, EveryPartOfADeclaration) {
  const char* expected =
      "ORDERS            FILE,DRIVER('BRISKEN','/ALLOWDETAILS'),OWNER(******),"
      "NAME('orders.bkf'),CREATE,ENCRYPT,THREAD\r\n"
      "ORD:BYNUMBER        KEY(+ORD:NUMBER),PRIMARY,NAME('ordnum')\r\n"
      "ORD:BYWHEN          INDEX(-ORD:DATE,+ORD:TIME,+ORD:NUMBER),DUP,OPT,NOCASE\r\n"
      "ORD:NOTES           MEMO(200)\r\n"
      "ORD:PICTURE         BLOB,NAME('pic'),BINARY\r\n"
      "                    RECORD\r\n"
      "ORD:NUMBER          ULONG\r\n"
      "ORD:TOTAL           DECIMAL(9,2)\r\n"
      "ORD:WHEN            GROUP\r\n"
      "ORD:DATE            DATE\r\n"
      "ORD:TIME            TIME\r\n"
      "                    END\r\n"
      "ORD:STAMP           REAL, OVER(ORD:WHEN)\r\n"
      "ORD:LINES           STRING(10), DIM(3,2)\r\n"
      "ORD:PHONE           STRING(@P(###) ###-####P),NAME('Phone')\r\n"
      "ORD:FLAGS           BYTE\r\n"
      "ORD:CODE            CSTRING(8)\r\n"
      "                    END\r\n"
      "                    END\r\n"
      "\r\n";
  EXPECT_EQ(StructureDump(kOrders), expected);
}

TEST(StructureDump, OddShapesStayReadable) {
  FieldDescriptor named = MakeField("A:SAME", kTypeLong, 4);
  named.name = "A:SAME";  // an external name equal to the label is not repeated
  FieldDescriptor pdec = MakeDecimal("A:P", 4, 1, kTypePDecimal);
  const FieldDescriptor fields[] = {named,
                                    MakeGroup("A:OUTER", 1),
                                    MakeGroup("A:INNER", 1),
                                    pdec,
                                    MakeGroup("A:EMPTY", 0),
                                    MakeGroup("A:CUT", 2),
                                    MakeField("A:LAST", kTypeByte, 1)};
  const int32_t bad_components[] = {9, 0};
  const KeyDeclaration keys[] = {{.label = "A:VERYLONGKEYLABELNAME", .components = bad_components}};
  FileDeclaration file{.label = "A_FILE_WITH_A_LONG_LABEL", .keys = keys, .fields = fields};
  const char* expected =
      "A_FILE_WITH_A_LONG_LABELFILE,DRIVER('BRISKEN')\r\n"
      "A:VERYLONGKEYLABELNAMEKEY(+,+)\r\n"
      "                    RECORD\r\n"
      "A:SAME              LONG\r\n"
      "A:OUTER             GROUP\r\n"
      "A:INNER             GROUP\r\n"
      "A:P                 PDECIMAL(5,1)\r\n"
      "                    END\r\n"
      "                    END\r\n"
      "A:EMPTY             GROUP\r\n"
      "                    END\r\n"
      "A:CUT               GROUP\r\n"
      "A:LAST              BYTE\r\n"
      "                    END\r\n"  // the cut-short group is closed all the same
      "                    END\r\n"
      "                    END\r\n"
      "\r\n";
  EXPECT_EQ(StructureDump(file), expected);
}

TEST(StructureDump, OpenFileShowsItsCurrentSettingsButNeverTheOwner) {
  uint8_t record[68];
  FileControlBlock fcb(&kCustomer, record, sizeof record);
  fcb.owner = "any owner text at all";
  fcb.name = "C:\\DATA\\CUST.BKF";
  fcb.options = "/ALLOWDETAILS";
  fcb.attributes = kFileEncrypt | kFileReclaim;
  std::string dump = StructureDump(fcb);
  EXPECT_EQ(dump.substr(0, dump.find("\r\n")),
            "CUSTOMER          FILE,DRIVER('BRISKEN','/ALLOWDETAILS'),OWNER(******),"
            "NAME('C:\\DATA\\CUST.BKF'),ENCRYPT,RECLAIM");
  EXPECT_EQ(dump.find("any owner"), std::string::npos);
}

}  // namespace
}  // namespace korvex::driver
