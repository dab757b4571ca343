#pragma once

#include "app/TForm1.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace ordalis::test {

// The window driven through a scripted desktop, with a folder for its files.
class WindowTest : public ::testing::Test {
protected:
    template <class T>
    T* control(const char* name)
    {
        T* found = form.findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            ADD_FAILURE() << "no control " << name;
        return found;
    }
    QPushButton* button(const char* name) { return control<QPushButton>(name); }
    QCheckBox* checkBox(const char* name) { return control<QCheckBox>(name); }
    std::string labelText(const char* name) { return control<QLabel>(name)->text().toStdString(); }

    // A sparse file of the given size: costs no disk space whatever its length.
    std::string makeFile(const std::string& name, std::uintmax_t size)
    {
        const std::string path = dir.file(name);
        WriteFile(path, {});
        std::filesystem::resize_file(path, size);
        return path;
    }

    // Clicks a file button with the next dialog confirming path (or cancelled).
    void choose(const char* buttonName, std::optional<std::string> path)
    {
        desktop.fileAnswers.push_back(std::move(path));
        button(buttonName)->click();
    }

    TempDir dir;
    FakeDesktop desktop;
    TForm1 form{desktop};
};

} // namespace ordalis::test
