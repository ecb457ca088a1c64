// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/formbindings.h"

#include "ui/qt/displaytext.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {
// A multi-line box's text with its line breaks as LF. The raw text keeps no-break spaces,
// which toPlainText() would turn into plain ones.
QString PlainText(const QPlainTextEdit &edit)
{
    QString text = edit.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QString ShownText(const QWidget *control)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (const auto *edit = qobject_cast<const QPlainTextEdit *>(control))
        return PlainText(*edit);
    return {};
}

void Show(QWidget *control, const QString &text)
{
    if (ShownText(control) == text)
        return; // keeps the caret and selection of a box whose text does not change
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(text);
    else if (auto *edit = qobject_cast<QPlainTextEdit *>(control))
        edit->setPlainText(text);
}

bool IsMultiLine(const QWidget *control)
{
    return qobject_cast<const QPlainTextEdit *>(control) != nullptr;
}
} // namespace

void FormBindings::BindText(QWidget *control, Text &field)
{
    Binding binding;
    binding.control = control;
    binding.text = &field;
    m_bindings.push_back(std::move(binding));
}

void FormBindings::BindInt(QWidget *control, std::int32_t &field)
{
    Binding binding;
    binding.control = control;
    binding.number = &field;
    m_bindings.push_back(std::move(binding));
}

void FormBindings::Read()
{
    for (Binding &binding : m_bindings)
        ReadBinding(binding);
}

void FormBindings::Write()
{
    for (Binding &binding : m_bindings)
        WriteBinding(binding);
}

void FormBindings::ReadBinding(Binding &binding)
{
    if (!binding.control)
        return;
    const QString shown = ShownText(binding.control);
    if (binding.number) {
        bool isNumber = false;
        const int value = shown.trimmed().toInt(&isNumber);
        if (isNumber)
            *binding.number = value;
        return;
    }
    if (binding.written && shown == binding.shownWritten) {
        *binding.text = binding.bytesWritten;
        return;
    }
    Text bytes = FromDisplay(shown);
    if (IsMultiLine(binding.control))
        ReplaceAll(bytes, "\n", "\r\n");
    *binding.text = std::move(bytes);
}

void FormBindings::WriteBinding(Binding &binding)
{
    if (!binding.control)
        return;
    if (binding.number) {
        Show(binding.control, QString::number(*binding.number));
        return;
    }
    Text bytes = *binding.text;
    if (IsMultiLine(binding.control))
        ReplaceAll(bytes, "\r\n", "\n");
    Show(binding.control, ToDisplay(bytes));
    // What the box really shows: a box may alter what it is given (a lone CR, for one).
    binding.shownWritten = ShownText(binding.control);
    binding.bytesWritten = *binding.text;
    binding.written = true;
}
