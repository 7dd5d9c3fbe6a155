#pragma once
// The image editor's view of one image document: the document view object at the bottom of the
// stack draws the image, the tools' controls above it receive mouse, wheel and keys from the top
// down. The view shows the pointer's image position and colour in the status bar, records mouse
// actions while a demonstration is recorded, and zooms by fixed steps, to best fit or to actual
// size. The document owns the view; the view owns its objects.

#include "documents/QpDocument.h"
#include "documents/QpViewControl.h"

#include <QCursor>
#include <QImage>
#include <cstdint>

class TQpGraphicsDocument;
class TQpGraphicsToolControl;
class TQpLTBitmap;

// Draws the document's current image, limited to its crop rectangle. Far out it paints from a
// reduced copy of the image that it keeps in step with every repainted image rectangle, so a
// zoomed-out frame never scales the whole photograph.
class TQpGraphicDocumentView : public TQpViewObject
{
public:
    explicit TQpGraphicDocumentView(TQpGraphicsDocument& document);

    TQpGraphicsDocument& Document() const { return m_document; }
    // The whole current image, whatever its size now.
    TQpRect ContentBounds(const TQpMapMode& mapMode) const override;
    void PaintContent(TQpViewCanvas& canvas) override;

    // The image's pixels changed inside `rect`; the reduced copy follows.
    void ImageChanged(const TQpRect& rect);
    // The image was replaced or changed its size; the reduced copy is dropped.
    void GeometryChanged();
    // The factor of the reduced copy used at the current zoom (1 = none), for tests and benchmarks.
    int ReductionFor(const TQpMapMode& mapMode) const;

private:
    bool EnsureReduced(int factor);
    void Reduce(const TQpRect& rect);

    TQpGraphicsDocument& m_document;
    QImage m_reduced; // BGR888, the image shrunk by m_factor with a box filter
    int m_factor = 0;
    int m_reducedWidth = 0;
    int m_reducedHeight = 0;
    TQpRect m_pending; // changed since the copy was last brought up to date
};

class TQpGraphicsView : public TQpScrollViewControl, public IQpDocumentObserver
{
public:
    explicit TQpGraphicsView(TQpGraphicsDocument& document, QWidget* parent = nullptr);
    ~TQpGraphicsView() override;

    TQpGraphicsDocument& Document() const { return m_document; }
    TQpGraphicDocumentView* DocumentView() const { return m_documentView; }

    void DocumentChanged(TQpDocument* document) override;
    void DocumentClosing(TQpDocument*) override {}

    // The image point under the client centre stays there. Numerator or denominator below 1 is
    // refused.
    void SetZoom(int numerator, int denominator);
    void ZoomIn();
    void ZoomOut();
    // One zoom step in or out keeping the image point under `client` where it is.
    void ZoomAbout(bool in, QPoint client);
    void ActualSize();
    // Nothing for an empty image or a view without area.
    void BestFit();
    void InitialZoom();

    // Repaints an image rectangle (grown by a pixel for rounding) and keeps the reduced copy in step.
    void InvalidateImageRect(const TQpRect& rect);
    // After a change of the image's size: the document view takes the bounds, the range follows.
    void GeometryChanged();

    // Passes a wheel turn at `globalPoint` to the tool controls; false when none took it.
    bool MouseWheel(int delta, Qt::KeyboardModifiers modifiers, QPoint globalPoint);
    // Asks the tool controls for the cursor at the pointer's position and shows it.
    void UpdateCursor();
    bool MouseInside() const { return m_mouseInside; }
    // The image point under a client point (floor mapping).
    TQpPoint ClientToImage(QPoint point) const;

    QSize sizeHint() const override { return {640, 480}; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    // The tool controls from the top of the stack down, until one handles the event.
    template <class Handler> bool Dispatch(Handler handler);
    void Enter();
    void Leave();
    void ShowStatus(QPoint point);
    void RecordButton(bool down, Qt::MouseButton button, QPoint point);

    TQpGraphicsDocument& m_document;
    TQpGraphicDocumentView* m_documentView;
    bool m_recordingDrag = false;
    TQpPoint m_lastRecorded;
    bool m_mouseInside = false;
    // Set by InitialZoom until the user zooms or touches the view: until then the window may still
    // be taking its final size, and the first zoom follows it.
    bool m_initialZoomPending = false;
    bool m_inInitialZoom = false;
};

// Cursor number (see TQpGraphicsToolControl.h) to the cursor shown; unknown numbers give the arrow.
QCursor ApplicationCursor(int index);
// Installs a cursor under a number, from an image of the cursor resources with its hot spot.
void InstallApplicationCursor(int index, const QString& resourceName);
