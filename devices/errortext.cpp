#include "errortext.h"

#include <cerrno>

QString fileErrorText(int errnoValue)
{
    switch (errnoValue) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permiso denegado");
    case ENOENT:
        return QStringLiteral("la carpeta no existe");
    case ENOTDIR:
        return QStringLiteral("una parte de la ruta no es una carpeta");
    case EISDIR:
        return QStringLiteral("ya hay una carpeta con ese nombre");
    case EROFS:
        return QStringLiteral("el disco es de solo lectura");
    case ENOSPC:
        return QStringLiteral("no queda espacio en el disco");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("se ha agotado la cuota de disco");
#endif
    case ENAMETOOLONG:
        return QStringLiteral("el nombre es demasiado largo");
    case ELOOP:
        return QStringLiteral("hay demasiados enlaces simbólicos en la ruta");
    case EIO:
        return QStringLiteral("error de lectura o escritura en el disco");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("hay demasiados archivos abiertos");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("el archivo está en uso");
    case EXDEV:
        return QStringLiteral("el archivo está en otro disco");
    case EINVAL:
        return QStringLiteral("el nombre no es válido en ese disco");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("el disco ya no está disponible");
    case ENOMEM:
        return QStringLiteral("no queda memoria libre");
    default:
        return QStringLiteral("error del sistema número %1").arg(errnoValue);
    }
}

QString soundFileErrorText(int code, int systemErrno)
{
    // The first codes are libsndfile's public ones (SF_ERR_*); the rest are its internal details.
    switch (code) {
    case 1:
        return QStringLiteral("no es un archivo de sonido que se pueda leer");
    case 2:
        return fileErrorText(systemErrno);
    case 3:
        return QStringLiteral("el archivo de sonido está dañado");
    case 4:
        return QStringLiteral("la codificación del sonido no se admite");
    default:
        return QStringLiteral("el archivo de sonido no se puede leer (error %1 de la biblioteca de sonido)")
            .arg(code);
    }
}
