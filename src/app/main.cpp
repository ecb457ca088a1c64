#include "app/journalapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    JournalApp journal;
    return journal.Run() && journal.JournalSaved() ? 0 : 1;
}
