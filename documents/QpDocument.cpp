#include "documents/QpDocument.h"

#include "documents/QpEditor.h"
#include "framework/Localizer.h"
#include "framework/MessageBox.h"

#include <QFileInfo>
#include <algorithm>

TQpDocument::TQpDocument(TQpEditor& editor) : m_editor(editor) {}

TQpDocument::~TQpDocument()
{
    DestroyView();
}

void TQpDocument::DestroyView()
{
    delete m_view.data();
}

QWidget* TQpDocument::View()
{
    if (!m_view) {
        QWidget* control = nullptr;
        CreateView(control);
        m_view = control;
    }
    return m_view;
}

void TQpDocument::AddObserver(IQpDocumentObserver* observer)
{
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void TQpDocument::RemoveObserver(IQpDocumentObserver* observer)
{
    std::erase(m_observers, observer);
}

bool TQpDocument::LoadFromFile(const QString& name)
{
    std::int32_t format = m_format;
    if (!m_editor.Formats().Load(*this, name.toStdU16String(), format))
        return false;
    m_format = format;
    m_fileName = name;
    NotifyChanged();
    SetUnmodified(true);
    return true;
}

bool TQpDocument::SaveToFile(const QString& name, std::int32_t format)
{
    if (!m_editor.Formats().Save(*this, name.toStdU16String(), format))
        return false;
    SetUnmodified(true);
    m_fileName = name;
    m_format = format;
    m_editor.UpdateCaption();
    return true;
}

bool TQpDocument::Save()
{
    if (m_fileName.isEmpty())
        return false;
    return SaveToFile(m_fileName, m_format);
}

bool TQpDocument::CloseQuery()
{
    BeforeClose();
    bool close = true;
    if (!m_demoDocument && !m_unmodified) {
        switch (m_editor.AskSaveChanges(DisplayName())) {
        case framework::kIdYes:
            close = m_editor.SaveAs(this);
            break;
        case framework::kIdNo:
            break;
        default:
            close = false;
            break;
        }
    }
    if (!close)
        return false;
    Closed();
    NotifyClosing();
    TQpEditor& editor = m_editor;
    editor.RemoveDocument(this); // frees this document
    editor.UpdateCaption();
    return true;
}

void TQpDocument::NotifyChanged()
{
    // By index from the end, so an observer that removes itself does not upset the walk.
    for (std::size_t i = m_observers.size(); i > 0; --i) {
        if (i <= m_observers.size())
            m_observers[i - 1]->DocumentChanged(this);
    }
    m_unmodified = false;
}

void TQpDocument::NotifyClosing()
{
    for (std::size_t i = m_observers.size(); i > 0; --i) {
        if (i <= m_observers.size())
            m_observers[i - 1]->DocumentClosing(this);
    }
}

QString TQpDocument::DisplayName() const
{
    if (m_fileName.isEmpty())
        return LocalizedString(74, QStringLiteral("Untitled"));
    return QFileInfo(m_fileName).fileName();
}

void TQpDocument::AddCommand(std::unique_ptr<TQpCommandState> state)
{
    if (!state)
        return;
    if (m_savedPosition > static_cast<std::ptrdiff_t>(m_history.Position()))
        m_savedPosition = -1;
    m_history.Add(std::move(state));
    m_unmodified = false;
}

void TQpDocument::DiscardRedo()
{
    if (m_savedPosition > static_cast<std::ptrdiff_t>(m_history.Position()))
        m_savedPosition = -1;
    m_history.DiscardRedo();
}

void TQpDocument::UpdateUnmodifiedFromHistory()
{
    m_unmodified = m_savedPosition == static_cast<std::ptrdiff_t>(m_history.Position());
}

void TQpDocument::SetUnmodified(bool value)
{
    m_unmodified = value;
    if (value)
        m_savedPosition = static_cast<std::ptrdiff_t>(m_history.Position());
}
