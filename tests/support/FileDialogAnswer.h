#pragma once
// A ModalAnswerer answer for the program's file dialogs: it checks that the
// box is the file dialog named dialogName, picks path in it and accepts it,
// as a user who types the name and presses Save or Open.
//
//   ModalAnswerer answerer({ChooseFileAnswer("SaveDialog", dir.File("list.plu"))});

#include "support/ModalAnswerer.h"

#include <QFileDialog>
#include <gtest/gtest.h>
#include <string>

inline ModalAnswerer::Answer ChooseFileAnswer(const QString& dialogName, const std::string& path)
{
    return ModalAnswerer::Do([dialogName, path](QWidget* box) {
        auto* dialog = qobject_cast<QFileDialog*>(box);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->objectName(), dialogName);
        // The dialog leaves a name field that has the focus as it is.
        if (QWidget* focus = dialog->focusWidget())
            focus->clearFocus();
        dialog->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept();
    });
}
