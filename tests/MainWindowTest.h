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

// A text value's data as Windows stores it, with its terminating zero.
inline Bytes StoredText(const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A list value as some tools store it: the driver's whole buffer, padded
// with 0xFF.
inline Bytes Padded(Bytes list) {
    list.resize(kListBufferSize, 0xFF);
    return list;
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
    // After a restart an unanswered change is checked first: its OK.
    void AnswerCheck() {
        if (form->modeCheck && form->modeCheck->Pending()) (*form->modeCheck)["bOK"].UserClick();
    }
    const RegValue* List() { return m.registry.Find(kDeviceKey, "DALRestrictedModesBCD"); }
    std::string File(const std::string& name) {
        return m.system.ReadFile(std::string(kInstallDir) + "\\" + name).value_or("");
    }
    // The restart and the logon after it. Each one-shot start runs; true
    // when the logon went on, each of them having ended.
    bool RestartAndLogon() {
        m.Boot();
        m.system.launches.clear();
        return m.Logon([this] {
            try {
                Start();
            } catch (const ProgramEnded&) {
                return true;
            }
            return false;
        });
    }
    // Runs the copy the logon's start handed the check to; false when it
    // started none.
    bool StartHandedCheck() {
        if (m.system.launches.empty()) return false;
        SimSystem::Launch copy = m.system.launches.back();
        if (copy.file != m.system.programPath) return false;
        m.system.commandLine = "\"" + copy.file + "\" " + copy.parameters;
        m.system.currentDirectory = copy.directory;
        m.system.launches.clear();
        m.system.shown.clear();
        Start();
        return true;
    }
    TestMachine m;
    std::unique_ptr<TForm1> form;
};

class MainWindowTest : public ::testing::Test, public MainWindowDriver {
protected:
    void SetUp() override { m.Boot(); }
};

}  // namespace kv::test
