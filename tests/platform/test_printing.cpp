// The printer list behind its interface: the scripted fake that the engine's tests use, the
// process-wide choice of printer system, and the CUPS back end on a machine whose scheduler
// cannot be reached.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/printing/printers.h"

namespace {

using namespace plat;

TEST(FakePrinters, ScriptedListDefaultAndFailure) {
    FakePrinterSystem fake;
    std::vector<PrinterInfo> list{{"stale", "", "", false}};
    EXPECT_TRUE(fake.ListPrinters(&list));
    EXPECT_TRUE(list.empty());
    std::string name = "untouched";
    EXPECT_FALSE(fake.DefaultPrinter(&name));
    EXPECT_EQ(name, "untouched");

    fake.SetPrinters({{"A", "Model A", "ipp://a", false}, {"B", "Model B", "usb://b", true}});
    ASSERT_TRUE(fake.ListPrinters(&list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].makeAndModel, "Model B");
    EXPECT_EQ(list[1].deviceUri, "usb://b");
    ASSERT_TRUE(fake.DefaultPrinter(&name));
    EXPECT_EQ(name, "B");

    fake.SetListFails(true);
    EXPECT_FALSE(fake.ListPrinters(&list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(fake.ListCalls(), 3);
}

TEST(PrinterSystemChoice, ReplacedAndRestored) {
    auto fake = std::make_shared<FakePrinterSystem>();
    SetPrinterSystem(fake);
    EXPECT_EQ(GetPrinterSystem(), fake);
    SetPrinterSystem(nullptr);
    auto cups = GetPrinterSystem();
    ASSERT_NE(cups, nullptr);
    EXPECT_NE(cups, fake);
    EXPECT_EQ(GetPrinterSystem(), cups) << "one CUPS system per process";
}

TEST(CupsPrinters, UnreachableSchedulerMeansNoPrinters) {
    // A socket that cannot exist: CUPS answers no destinations, which is a machine without
    // printers rather than a failure.
    setenv("CUPS_SERVER", "/nonexistent/qzs-cups.sock", 1);
    auto cups = MakeCupsPrinterSystem();
    std::vector<PrinterInfo> list{{"stale", "", "", false}};
    EXPECT_TRUE(cups->ListPrinters(&list));
    EXPECT_TRUE(list.empty());
    std::string name;
    EXPECT_FALSE(cups->DefaultPrinter(&name));
    unsetenv("CUPS_SERVER");
}

}  // namespace
