#include "AboutBox.h"

#include "platform/versions/LinkedLibraries.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvel {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(tr("About Quorvel"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* icon = new QLabel;
    icon->setPixmap(windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);

    auto* name = new QLabel(QStringLiteral("<h2>Quorvel %1</h2>").arg(QStringLiteral(QUORVEL_VERSION)));
    name->setObjectName(QStringLiteral("nameLabel"));
    name->setAlignment(Qt::AlignCenter);

    auto* summary = new QLabel(tr("Turns part of a song or a recording into a ringtone.") + QStringLiteral("<br>") +
                               tr("Free software under the GNU General Public License, version 2 or later "
                                  "(GPL-2.0-or-later)."));
    summary->setObjectName(QStringLiteral("licenceLabel"));
    summary->setWordWrap(true);
    summary->setAlignment(Qt::AlignCenter);

    QString rows;
    for (const auto& library : LinkedLibraries::all())
        rows += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(library.name.toHtmlEscaped(), library.version.toHtmlEscaped());
    auto* libraries = new QLabel(tr("Built on:") + QStringLiteral("<table>%1</table>").arg(rows));
    libraries->setObjectName(QStringLiteral("librariesLabel"));
    libraries->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* home = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(kHomePage)));
    home->setObjectName(QStringLiteral("homePageLabel"));
    home->setOpenExternalLinks(true);
    home->setAlignment(Qt::AlignCenter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    for (QWidget* w : {static_cast<QWidget*>(icon), static_cast<QWidget*>(name), static_cast<QWidget*>(summary),
                       static_cast<QWidget*>(libraries), static_cast<QWidget*>(home), static_cast<QWidget*>(buttons)})
        layout->addWidget(w);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace quorvel
