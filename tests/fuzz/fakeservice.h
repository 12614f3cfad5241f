#pragma once

// The service object over two fake sources with fixed entries, shared by the
// Search and Action targets. Opening only records: nothing is ever started.

#include "fakesource.h"
#include "fuzzing.h"

#include "service/orlek.h"

#include <QSet>

struct FakeService {
    FakeService()
        : vscode(QStringLiteral("vscode"), QStringLiteral("VS Code"), {QStringLiteral("vsc"), QStringLiteral("vscode")})
        , jetbrains(QStringLiteral("jetbrains"), QStringLiteral("JetBrains IDEs"), {QStringLiteral("jh"), QStringLiteral("jb"), QStringLiteral("jetbrains")})
    {
        const QString home = Fuzzing::homePath();
        vscode.entries = {
            vscode.entry(home + QStringLiteral("/src/app"), QStringLiteral("app"), 5000, QStringLiteral("VS Code")),
            vscode.entry(home + QStringLiteral("/w/team.code-workspace"), QStringLiteral("team"), 3000, QStringLiteral("Cursor")),
            vscode.entry(QStringLiteral("/home/u/shared"), QStringLiteral("shared"), 1000, QStringLiteral("VS Code")),
            // No group of its own: it joins the source's.
            vscode.entry(QStringLiteral("/p/100%1 %2 done"), QStringLiteral("50%2 %1"), 4000),
            vscode.entry(QStringLiteral("/p/007|/x"), QStringLiteral("007|"), 4000, QStringLiteral("VS Code")),
            vscode.entry(QStringLiteral("/p/\U0001F600 emoji"), QStringLiteral("\U0001F600 emoji"), 4000, QStringLiteral("VSCodium")),
            // Dropped by the service before anything else sees it.
            vscode.entry(QStringLiteral("/p/nameless"), QString(), 9000, QStringLiteral("VS Code")),
        };
        jetbrains.entries = {
            jetbrains.entry(QStringLiteral("/home/u/shared"), QStringLiteral("shared"), 9000, QStringLiteral("WebStorm")),
            jetbrains.entry(home + QStringLiteral("/IdeaProjects/backend"), QStringLiteral("backend"), 4000, QStringLiteral("IntelliJ IDEA")),
            jetbrains.entry(home + QStringLiteral("/RiderProjects/Shop/Shop.sln"), QStringLiteral("Shop"), 4500, QStringLiteral("Rider - Solutions")),
            jetbrains.entry(QStringLiteral("/P/Backend"), QStringLiteral("Backend"), 4000, QStringLiteral("intellij idea")),
        };
        // More than a search shows, with equal times among them.
        for (int i = 0; i < 120; ++i) {
            FakeSource &source = i % 3 ? vscode : jetbrains;
            source.entries.append(source.entry(QStringLiteral("/p/gen/proj%1").arg(i), QStringLiteral("proj%1").arg(i), 100 + i % 40, QStringLiteral("IDE")));
        }
        jetbrains.openResult = false;

        for (const FakeSource *source : {&vscode, &jetbrains}) {
            for (const ProjectEntry &entry : source->entries) {
                if (!entry.name.isEmpty()) {
                    known.insert(entry.id);
                }
            }
        }
        orlek.addSource(&vscode);
        orlek.addSource(&jetbrains);
    }

    FakeSource vscode;
    FakeSource jetbrains;
    Orlek orlek;
    // The ids of every entry the service may show or open.
    QSet<QString> known;
};
