// A separate process for the single-instance tests:
//   kestrova_instance_probe <runtime folder> try    prints "first", or "second" and whether the
//                                                  activation request was delivered
//   kestrova_instance_probe <runtime folder> hold   prints "first" and keeps the lock until killed
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

#include "ui/app/single_instance.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3) return 2;
  kestrova::TSingleInstance instance(QStringLiteral("Kestrova"), QString::fromLocal8Bit(argv[1]));
  if (instance.IsFirst()) {
    std::printf("first\n");
    std::fflush(stdout);
    if (std::strcmp(argv[2], "hold") == 0) return app.exec();
    return 0;
  }
  const bool delivered = instance.ActivateFirst(QStringLiteral("probe title"));
  std::printf("second %s\n", delivered ? "delivered" : "undelivered");
  return 0;
}
