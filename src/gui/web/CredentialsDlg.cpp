#include "gui/web/CredentialsDlg.h"

#include "core/web/WebWorker.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

CCredentialsDlg::CCredentialsDlg(const QString& url, const QString& realm, const QString& user,
                                 QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("credentialsDialog"));
    setWindowTitle(QStringLiteral("Enter Network Password"));
    auto* layout = new QVBoxLayout(this);
    // The address without its query: a net report's values are no business of this question.
    const QUrl u(url);
    const QString where = u.isValid() ? u.adjusted(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toString() : url;
    QString text =
        QStringLiteral("The server %1 asks for a user name and password.").arg(where.toHtmlEscaped());
    if (!realm.isEmpty())
        text += QStringLiteral("<br>Realm: %1").arg(realm.toHtmlEscaped());
    m_text = new QLabel(text, this);
    m_text->setTextFormat(Qt::RichText);
    m_text->setWordWrap(true);
    layout->addWidget(m_text);

    auto* form = new QFormLayout;
    m_user = new QLineEdit(user, this);
    m_user->setObjectName(QStringLiteral("userName"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&User Name:"), m_user);
    form->addRow(QStringLiteral("&Password:"), m_password);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    (user.isEmpty() ? m_user : m_password)->setFocus();
    setMinimumWidth(360);
}

QString CCredentialsDlg::UserName() const
{
    return m_user->text();
}

QString CCredentialsDlg::Password() const
{
    return m_password->text();
}

void CCredentialsDlg::Connect(CWebWorker& worker, QWidget* parent)
{
    QObject::connect(&worker, &CWebWorker::credentialsNeeded, parent,
                     [w = &worker, parent](const QString& url, const QString& realm, const QString& user) {
                         auto* dlg = new CCredentialsDlg(url, realm, user, parent);
                         dlg->setAttribute(Qt::WA_DeleteOnClose);
                         dlg->setWindowModality(Qt::WindowModal);
                         QObject::connect(dlg, &QDialog::finished, w, [w, dlg](int result) {
                             if (result == QDialog::Accepted)
                                 w->AnswerCredentials(true, dlg->UserName(), dlg->Password());
                             else
                                 w->AnswerCredentials(false, {}, {});
                         });
                         // The exchange gave up meanwhile (cancelled): the question is void.
                         QObject::connect(w, &CWebWorker::finished, dlg, &QDialog::reject);
                         dlg->open();
                     });
}
