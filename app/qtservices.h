#pragma once

#include "app/services.h"

class QtMessageBoxService final : public MessageBoxService
{
public:
    void inform(QWidget *parent, const QString &title, const QString &text, Icon icon,
                const QString &detail = QString()) override;
    bool ask(QWidget *parent, const QString &title, const QString &text, Icon icon) override;
};

class QtSaveDialogService final : public SaveDialogService
{
public:
    std::optional<QString> chooseSaveFile(QWidget *parent, const QString &title, const QString &proposedPath,
                                          const QString &filterDescription, const QString &pattern) override;
};

class QtClipboardService final : public ClipboardService
{
public:
    QString text() const override;
    void setText(const QString &text) override;
};

class DesktopLauncher final : public Launcher
{
public:
    bool openAddress(const QString &address) override;
    bool openFile(const QString &path) override;
    bool showInFolder(const QString &path) override;
};
