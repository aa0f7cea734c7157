<?xml version="1.0" encoding="UTF-8"?>
<!-- A class of a local component without an API page on the machine: what the catalogue knows. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <!-- Why an API page the client found was not opened, if it found one. -->
  <xsl:param name="note" select="''"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="/class/@simpleName"/>
      <xsl:with-param name="section" select="'Local'"/>
      <xsl:with-param name="lead">
        <xsl:choose>
          <xsl:when test="/class/@package != ''">
            <xsl:value-of select="concat('Class ', /class/@name, ' in package ', /class/@package, '.')"/>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="concat('Class ', /class/@name, ' in the unnamed package.')"/></xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:if test="$note != ''"><p class="notice"><xsl:value-of select="$note"/></p></xsl:if>
    <p>No API page of this class is on this machine: neither a javadoc archive beside the component's archive
      nor the pages of a Debian documentation package.</p>
    <xsl:choose>
      <xsl:when test="/class/component">
        <h2>Catalogued components that hold it</h2>
        <table class="components">
          <thead><tr><th>Component</th><th>Versions</th></tr></thead>
          <tbody>
            <xsl:for-each select="/class/component">
              <tr>
                <td><a href="/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/component-overview.xsl&amp;xmlpage=components/vendors/components.bnd&amp;scid={@SCID}"><xsl:value-of select="@name"/></a></td>
                <td>
                  <xsl:for-each select="version">
                    <xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="@name"/>
                  </xsl:for-each>
                </td>
              </tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:when>
      <xsl:otherwise><p class="notice">The catalogue lists no component holding this class.</p></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
