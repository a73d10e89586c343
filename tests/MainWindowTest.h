// Driving the main window on the simulated machine as a user would: start
// it, type rates into the grid, press OK.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/KVMAIN.h"
#include "TestMachine.h"

namespace kv::test {

inline Bytes Rec(std::uint16_t w, std::uint16_t h, std::uint16_t d, std::uint16_t r) {
    BcdModeRecord b = EncodeModeRecord({w, h, d, r});
    return Bytes(b.begin(), b.end());
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A machine and the program's runs on it; a test may hold several.
struct MainWindowDriver {
    // A new run of the program; the one before has ended.
    TForm1& Start() {
        form.reset();
        form = std::make_unique<TForm1>(m.platform);
        form->RunCommand([&] { form->FormCreate(); });
        form->RunCommand([&] { form->FormPaint(); });
        return *form;
    }
    // The value of the grid row showing a resolution; scrolls it into view.
    void SetRate(const std::string& resolution, const std::string& rate) {
        for (int tries = 0; tries < 40; ++tries) {
            for (int k = 1; k <= 15; ++k) {
                if ((*form)["l" + std::to_string(k)].text == resolution) {
                    (*form)["ComboBox" + std::to_string(k)].text = rate;
                    return;
                }
            }
            (*form)["sbDown"].UserClick();
        }
        FAIL() << "no row " << resolution;
    }
    // Clicks a button of the main window; the exit code when the program
    // ended, -1 when it stays open.
    int Click(const std::string& button) {
        try {
            form->RunCommand([&] { (*form)[button].UserClick(); });
        } catch (const ProgramEnded& e) {
            return e.exitCode;
        }
        return -1;
    }
    int Ok() { return Click("OK"); }
    // Chooses a menu item; the exit code as Click gives it.
    int Menu(const std::string& item) {
        try {
            form->RunCommand([&] { form->FindMenuItem(item)->onClick(); });
        } catch (const ProgramEnded& e) {
            return e.exitCode;
        }
        return -1;
    }
    // The open window of that name the main window opened last.
    template <class T = ui::Form>
    T* Open(const std::string& name) {
        T* found = nullptr;
        for (auto& d : form->dialogs)
            if (d->name == name && !d->closed) found = static_cast<T*>(d.get());
        return found;
    }
    const RegValue* List() { return m.registry.Find(kDeviceKey, "DALRestrictedModesBCD"); }
    std::string File(const std::string& name) {
        return m.system.ReadFile(std::string(kInstallDir) + "\\" + name).value_or("");
    }
    TestMachine m;
    std::unique_ptr<TForm1> form;
};

class MainWindowTest : public ::testing::Test, public MainWindowDriver {
protected:
    void SetUp() override { m.Boot(); }
};

}  // namespace kv::test
