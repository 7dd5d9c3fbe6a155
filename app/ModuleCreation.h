#pragma once
// The data module whose construction creates every module of the program in its fixed order.
// That order is the order in which modules load, connect, save and answer demo words, and the
// order of the tool buttons on the tool panel.

#include <QObject>

class TModule : public QObject
{
public:
    TModule();
    ~TModule() override;
};
