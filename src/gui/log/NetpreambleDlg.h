#pragma once

#include <QDialog>

class CSettings;
class QTextBrowser;
class QTextDocument;
struct CRtfDocument;

// The net preamble: the text the net-control station reads at the start of the net, shown read-only at
// 125 % from "preamble.rtf" in the data folder. Modeless and resizable; a window of its own that the
// command shows again after OK or Cancel hid it. The text is loaded and the saved placement applied the
// first time it is shown; OK saves the placement.
class CNetpreambleDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr double kZoom = 1.25;
    static const char* const kFileName;

    explicit CNetpreambleDlg(CSettings& settings, QWidget* parent = nullptr);

    // Shows the window; the first time, places it and loads the text.
    void ShowPreamble();
    bool IsInitialised() const { return m_initialised; }
    QTextBrowser* TextControl() const { return m_text; }

    void accept() override;
    void reject() override;

    // The RTF document as rich text at the zoom factor.
    static void Fill(QTextDocument& target, const CRtfDocument& rtf, double zoom);

private:
    void LoadText();

    CSettings& m_settings;
    QTextBrowser* m_text = nullptr;
    bool m_initialised = false;
};
